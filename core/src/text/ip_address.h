#pragma once
// Strict IP address text: the only forms accepted wherever the core decides whether a text "is an
// address" (share-link fragments, routing rules, site lists, DNS answers, proxy settings). Nothing
// is tolerated around the address: no brackets, zone, port, prefix length or white space.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kest::text {

using Ipv4Bytes = std::array<std::uint8_t, 4>;
using Ipv6Bytes = std::array<std::uint8_t, 16>;
// One address of either family, as system listings and resolvers give them.
using IpAddress = std::variant<Ipv4Bytes, Ipv6Bytes>;

// Four decimal numbers 0 to 255 joined by ".", each without leading zeros ("0" itself is fine).
std::optional<Ipv4Bytes> parse_ipv4_text(std::string_view text);

// Groups of one to four hexadecimal digits joined by ":", at most one "::" standing for one or
// more zero groups, and optionally a dotted quad (as above) in place of the last two groups.
std::optional<Ipv6Bytes> parse_ipv6_text(std::string_view text);

inline bool is_ipv4_text(std::string_view text) {
    return parse_ipv4_text(text).has_value();
}
inline bool is_ipv6_text(std::string_view text) {
    return parse_ipv6_text(text).has_value();
}
inline bool is_ip_text(std::string_view text) {
    return is_ipv4_text(text) || is_ipv6_text(text);
}

// Dotted-decimal form: "192.0.2.1".
std::string ipv4_text(const Ipv4Bytes& address);

} // namespace kest::text
