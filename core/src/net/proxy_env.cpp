#include "net/proxy_env.h"

#include <initializer_list>

#include "platform/env.h"
#include "text/ascii.h"
#include "text/ip_address.h"
#include "text/white_space.h"

namespace kest::net {
namespace {

std::string percent_decode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && text::hex_digit_value(s[i + 1]) >= 0 &&
            text::hex_digit_value(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(text::hex_digit_value(s[i + 1]) * 16 +
                                            text::hex_digit_value(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::optional<std::uint32_t> parse_ipv4(std::string_view s) {
    auto bytes = text::parse_ipv4_text(s);
    if (!bytes)
        return std::nullopt;
    return std::uint32_t((*bytes)[0]) << 24 | std::uint32_t((*bytes)[1]) << 16 |
           std::uint32_t((*bytes)[2]) << 8 | std::uint32_t((*bytes)[3]);
}

// Two IPv6 texts naming the same address ("::1" and "0:0::1").
bool same_ipv6(std::string_view a, std::string_view b) {
    auto x = text::parse_ipv6_text(a);
    return x && x == text::parse_ipv6_text(b);
}

bool cidr_matches(std::string_view entry, std::string_view host) {
    auto slash = entry.find('/');
    auto network = parse_ipv4(entry.substr(0, slash));
    auto address = parse_ipv4(host);
    std::string_view bits_text = entry.substr(slash + 1);
    if (!network || !address || bits_text.empty() || bits_text.size() > 2)
        return false;
    unsigned bits = 0;
    for (char c : bits_text) {
        if (c < '0' || c > '9')
            return false;
        bits = bits * 10 + unsigned(c - '0');
    }
    if (bits > 32)
        return false;
    std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t(0) << (32 - bits);
    return (*network & mask) == (*address & mask);
}

bool entry_matches(std::string_view entry, std::string_view host) {
    if (entry == "*")
        return true;
    if (entry.find('/') != std::string_view::npos)
        return cidr_matches(entry, host);
    if (entry.starts_with("[")) {
        auto close = entry.find(']');
        return close != std::string_view::npos && same_ipv6(entry.substr(1, close - 1), host);
    }
    if (entry.find(':') != entry.rfind(':'))
        return same_ipv6(entry, host); // without brackets
    entry = entry.substr(0, entry.find(':'));
    if (entry.starts_with("*."))
        entry.remove_prefix(2);
    while (entry.starts_with("."))
        entry.remove_prefix(1);
    if (entry.empty())
        return false;
    if (host == entry)
        return true;
    return host.size() > entry.size() && host.ends_with(entry) &&
           host[host.size() - entry.size() - 1] == '.';
}

std::string first_set(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto value = platform::get_env(name);
        if (value && !text::trim_ascii_white_space(*value).empty())
            return std::string(text::trim_ascii_white_space(*value));
    }
    return "";
}

} // namespace

std::string Proxy::authority() const {
    return join_authority(host, port);
}

ProxyEnv read_proxy_env() {
    ProxyEnv env;
    env.proxy = first_set(
        {"ALL_PROXY", "all_proxy", "HTTPS_PROXY", "https_proxy", "HTTP_PROXY", "http_proxy"});
    env.no_proxy = first_set({"NO_PROXY", "no_proxy"});
    return env;
}

Expected<Proxy> parse_proxy(std::string_view value) {
    std::string_view rest = text::trim_ascii_white_space(value);
    auto sep = rest.find("://");
    if (sep != std::string_view::npos) {
        std::string scheme = text::ascii_lowercase(rest.substr(0, sep));
        if (scheme != "http")
            return unexpected("unsupported proxy scheme: " + scheme);
        rest.remove_prefix(sep + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));

    Proxy proxy;
    auto at = rest.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view userinfo = rest.substr(0, at);
        auto colon = userinfo.find(':');
        proxy.user = percent_decode(userinfo.substr(0, colon));
        if (colon != std::string_view::npos)
            proxy.password = percent_decode(userinfo.substr(colon + 1));
        rest.remove_prefix(at + 1);
    }

    auto host_port = split_authority(rest, 80);
    if (!host_port)
        return unexpected("proxy: " + host_port.error());
    proxy.host = std::move(host_port->host);
    proxy.port = host_port->port;
    return proxy;
}

bool no_proxy_matches(std::string_view no_proxy, std::string_view host) {
    std::string h = text::ascii_lowercase(host);
    while (!h.empty() && h.back() == '.')
        h.pop_back();
    while (!no_proxy.empty()) {
        auto comma = no_proxy.find(',');
        std::string entry =
            text::ascii_lowercase(text::trim_ascii_white_space(no_proxy.substr(0, comma)));
        no_proxy =
            comma == std::string_view::npos ? std::string_view() : no_proxy.substr(comma + 1);
        if (!entry.empty() && entry_matches(entry, h))
            return true;
    }
    return false;
}

Expected<std::optional<Proxy>> choose_proxy(const ProxyEnv& env, const Url& url) {
    if (env.proxy.empty() || no_proxy_matches(env.no_proxy, url.host))
        return std::optional<Proxy>();
    auto proxy = parse_proxy(env.proxy);
    if (!proxy)
        return unexpected(proxy.error());
    return std::optional<Proxy>(std::move(*proxy));
}

} // namespace kest::net
