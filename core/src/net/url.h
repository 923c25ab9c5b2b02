#pragma once
// The HTTP and HTTPS URLs the client sends requests to, split into what a request needs, and
// the resolution of a redirect's Location against the URL that was asked for.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/expected.h"

namespace kest::net {

struct Url {
    std::string scheme;               // "http" or "https"
    std::string host;                 // lowercase; an IPv6 address without its brackets
    std::uint16_t port = 0;           // the explicit port or the scheme's default
    std::string path = "/";           // always starts with "/", dot segments removed
    std::optional<std::string> query; // the text after "?", when there is one

    // path plus "?" and the query: what the request line names.
    std::string target() const;
    // host (in brackets when it is an IPv6 address) plus ":" plus port.
    std::string authority() const;
    // scheme "://" authority target; the fragment is never kept.
    std::string text() const;
    // Same scheme, host and port.
    bool same_origin(const Url& other) const;
};

struct HostPort {
    std::string host; // lowercase; an IPv6 address without its brackets
    std::uint16_t port = 0;
};

// "host", "host:port", "[v6]" or "[v6]:port"; default_port when the port is absent or empty.
// Hosts are ASCII names or addresses; the port lies in 1..65535.
Expected<HostPort> split_authority(std::string_view authority, std::uint16_t default_port);

// host ":" port, the host in brackets when it is an IPv6 address.
std::string join_authority(std::string_view host, std::uint16_t port);

// Accepts absolute "http://" and "https://" URLs (scheme in any letter case). User names in
// the URL, other schemes, non-ASCII or empty hosts and bad ports are refused. Bytes that may
// not stand in a request target (controls, space, non-ASCII, a few punctuation marks) are
// percent-encoded; existing escapes are left alone.
Expected<Url> parse_url(std::string_view text);

// The URL a reference (a redirect's Location) names when read relative to base: an absolute
// URL, "//host/...", "/path", "relative/path", "?query" or "" (the base itself).
Expected<Url> resolve_url(const Url& base, std::string_view reference);

} // namespace kest::net
