#pragma once
// The body of a DNS-over-HTTPS JSON answer, as far as the core reads it, and the address it
// yields.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"

namespace kest::vpn {

struct DohAnswer {
    std::int64_t type = 0;
    std::string data;
};

struct DohResponse {
    std::vector<DohAnswer> answers; // "Answer"; empty when the key is absent
};

inline constexpr std::int64_t dns_type_a = 1;

// One JSON document with nothing but white space after it. The error is the decoder's text.
Expected<DohResponse> parse_doh_response(std::string_view body);

// The data of the first type-A record that is, as a whole, an IPv4 address in strict
// dotted-quad form; "" when none is.
std::string first_ipv4_answer(const DohResponse& response);

} // namespace kest::vpn
