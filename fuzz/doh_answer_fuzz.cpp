// DNS-over-HTTPS answer bodies on any bytes, and the address picked from them: whatever comes
// back is "" or a strict dotted quad that one of the type-A records carried; a body that does
// not decode gives no address. The query text made from the same bytes as a host name holds
// only unreserved characters and escapes, and reads back as the host.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/ip_address.h"
#include "vpn/dns/doh_response.h"
#include "vpn/dns/preresolve.h"
#include "vpn/dns/server_lookups.h"

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void check_encoding(std::string_view host) {
    std::string encoded = kest::vpn::percent_encode_host(host);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '%') {
            fuzz_require(i + 2 < encoded.size());
            int hi = hex_value(encoded[i + 1]), lo = hex_value(encoded[i + 2]);
            fuzz_require(hi >= 0 && lo >= 0);
            decoded.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            continue;
        }
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        fuzz_require(unreserved);
        decoded.push_back(c);
    }
    fuzz_require(decoded == host);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view body(reinterpret_cast<const char*>(data), size);
    check_encoding(body);

    std::string address = kest::vpn::address_from_doh_reply(200, body);
    auto response = kest::vpn::parse_doh_response(body);
    if (!response) {
        fuzz_require(address.empty());
        return 0;
    }
    fuzz_require(address == kest::vpn::first_ipv4_answer(*response));
    if (address.empty())
        return 0;
    fuzz_require(address.size() <= 15 && kest::text::is_ipv4_text(address));
    bool carried = false;
    for (const auto& answer : response->answers)
        carried = carried || (answer.type == kest::vpn::dns_type_a && answer.data == address);
    fuzz_require(carried);
    fuzz_require(kest::vpn::address_from_doh_reply(404, body).empty());
    return 0;
}
