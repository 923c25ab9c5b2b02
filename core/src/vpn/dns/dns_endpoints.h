#pragma once
// The two public DNS-over-HTTPS JSON services the server pre-resolution asks, named here and
// nowhere else. Endpoint 1 answers GET "/resolve", endpoint 2 GET "/dns-query", both with the
// query keys "name" and "type" and the JSON answer format. A base is scheme and host.
#include <string_view>

namespace kest::vpn {

inline constexpr std::string_view doh_endpoint_1 = "https://dns.google";
inline constexpr std::string_view doh_endpoint_2 = "https://cloudflare-dns.com";

} // namespace kest::vpn
