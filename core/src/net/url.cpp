#include "net/url.h"

#include <algorithm>

#include "text/ascii.h"
#include "text/hex.h"
#include "text/ip_address.h"

namespace kest::net {
namespace {

bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Length of a leading "scheme:" (without the colon), 0 when the text has none.
std::size_t scheme_length(std::string_view text) {
    if (text.empty() || !is_alpha(text[0]))
        return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':')
            return i;
        if (!is_alpha(c) && !is_digit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// A request target carries only printable ASCII without the characters that RFC 3986 never
// allows; anything else a server sent in a Location (spaces, UTF-8) is escaped.
std::string encode_target_bytes(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        bool bad = c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
                   c == '^' || c == '`' || c == '{' || c == '|' || c == '}';
        if (bad) {
            text::append_percent_escape(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

void drop_last_segment(std::string& out) {
    auto slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
}

// RFC 3986 section 5.2.4.
std::string remove_dot_segments(std::string_view path) {
    std::string in(path);
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.erase(0, 3);
        } else if (in.starts_with("./")) {
            in.erase(0, 2);
        } else if (in.starts_with("/./")) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.erase(0, 3);
            drop_last_segment(out);
        } else if (in == "/..") {
            in = "/";
            drop_last_segment(out);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            auto next = in.find('/', 1);
            if (next == std::string::npos)
                next = in.size();
            out.append(in, 0, next);
            in.erase(0, next);
        }
    }
    return out;
}

struct PathParts {
    std::string_view path;
    std::optional<std::string_view> query;
};

// Splits "path?query#fragment"; the fragment is dropped.
PathParts split_path(std::string_view rest) {
    rest = rest.substr(0, rest.find('#'));
    PathParts parts;
    auto q = rest.find('?');
    parts.path = rest.substr(0, q);
    if (q != std::string_view::npos)
        parts.query = rest.substr(q + 1);
    return parts;
}

void set_path(Url& url, std::string_view path, std::optional<std::string_view> query) {
    std::string clean = remove_dot_segments(path);
    if (clean.empty() || clean[0] != '/')
        clean = std::string("/").append(clean);
    url.path = encode_target_bytes(clean);
    if (query)
        url.query = encode_target_bytes(*query);
    else
        url.query.reset();
}

bool valid_host_byte(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F)
        return false;
    return std::string_view("\"<>\\^`{|}%/?#@[]:").find(c) == std::string_view::npos;
}

} // namespace

std::string Url::target() const {
    return query ? path + "?" + *query : path;
}

Expected<HostPort> split_authority(std::string_view authority, std::uint16_t default_port) {
    std::string_view host = authority;
    std::string_view port;
    bool bracketed = authority.starts_with("[");
    if (bracketed) {
        auto close = authority.find(']');
        if (close == std::string_view::npos)
            return unexpected(std::string("invalid IPv6 host"));
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':')
            return unexpected(std::string("invalid host"));
        if (!after.empty())
            port = after.substr(1);
    } else if (auto colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty())
        return unexpected(std::string("no host given"));
    if (bracketed ? !text::is_ipv6_text(host)
                  : std::find_if_not(host.begin(), host.end(), valid_host_byte) != host.end())
        return unexpected(std::string("invalid host"));

    HostPort out{text::ascii_lowercase(host), default_port};
    if (port.empty())
        return out;
    unsigned value = 0;
    for (char c : port) {
        if (!is_digit(c) || value > 65535)
            return unexpected(std::string("invalid port"));
        value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535)
        return unexpected(std::string("invalid port"));
    out.port = static_cast<std::uint16_t>(value);
    return out;
}

std::string join_authority(std::string_view host, std::uint16_t port) {
    std::string out;
    if (host.find(':') != std::string_view::npos)
        out.append("[").append(host).append("]");
    else
        out.append(host);
    return out.append(":").append(std::to_string(port));
}

std::string Url::authority() const {
    return join_authority(host, port);
}

std::string Url::text() const {
    return scheme + "://" + authority() + target();
}

bool Url::same_origin(const Url& other) const {
    return scheme == other.scheme && host == other.host && port == other.port;
}

Expected<Url> parse_url(std::string_view text) {
    std::size_t n = scheme_length(text);
    if (n == 0 || text.substr(n, 3) != "://")
        return unexpected(std::string("not an absolute http(s) URL"));
    Url url;
    url.scheme = text::ascii_lowercase(text.substr(0, n));
    std::uint16_t default_port;
    if (url.scheme == "http")
        default_port = 80;
    else if (url.scheme == "https")
        default_port = 443;
    else
        return unexpected("unsupported URL scheme: " + url.scheme);

    std::string_view rest = text.substr(n + 3);
    std::size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (authority.find('@') != std::string_view::npos)
        return unexpected(std::string("user names in URLs are not supported"));

    auto host_port = split_authority(authority, default_port);
    if (!host_port)
        return unexpected("URL: " + host_port.error());
    url.host = std::move(host_port->host);
    url.port = host_port->port;

    PathParts parts = split_path(rest);
    set_path(url, parts.path, parts.query);
    return url;
}

Expected<Url> resolve_url(const Url& base, std::string_view reference) {
    if (scheme_length(reference) != 0)
        return parse_url(reference);
    if (reference.starts_with("//"))
        return parse_url(base.scheme + ":" + std::string(reference));

    Url url = base;
    PathParts parts = split_path(reference);
    if (parts.path.empty()) {
        std::string path = base.path;
        if (parts.query)
            set_path(url, path, parts.query);
        return url;
    }
    if (parts.path[0] == '/') {
        set_path(url, parts.path, parts.query);
        return url;
    }
    std::string merged = base.path.substr(0, base.path.rfind('/') + 1);
    merged.append(parts.path);
    set_path(url, merged, parts.query);
    return url;
}

} // namespace kest::net
