#include "vpn/host/system_proxy.h"

#include "text/ascii.h"
#include "text/ip_address.h"
#include "text/white_space.h"

namespace kest::vpn {
namespace {

constexpr std::string_view kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

bool is_loopback_host(std::string_view host) {
    if (text::equals_ignoring_ascii_case(host, "localhost"))
        return true;
    if (auto v4 = text::parse_ipv4_text(host))
        return (*v4)[0] == 127;
    if (auto v6 = text::parse_ipv6_text(host))
        return *v6 == text::Ipv6Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return false;
}

std::string_view host_of(std::string_view entry) {
    std::size_t colon = entry.rfind(':');
    std::string_view host = colon == std::string_view::npos ? entry : entry.substr(0, colon);
    while (host.starts_with('['))
        host.remove_prefix(1);
    while (host.ends_with(']'))
        host.remove_suffix(1);
    return host;
}

} // namespace

std::optional<std::string> loopback_proxy_entry(std::string_view proxy_server) {
    for (std::size_t begin = 0;;) {
        std::size_t end = proxy_server.find(';', begin);
        std::string_view piece = proxy_server.substr(
            begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (std::size_t eq = piece.find('='); eq != std::string_view::npos)
            piece.remove_prefix(eq + 1);
        std::string_view entry = text::trim_white_space(piece);
        if (is_loopback_host(host_of(entry)))
            return std::string(entry);
        if (end == std::string_view::npos)
            return std::nullopt;
        begin = end + 1;
    }
}

bool proxy_enabled(const std::optional<platform::RegistryValue>& value) {
    if (!value || value->type != platform::kRegDword || value->bytes.size() < 4)
        return false;
    const auto& b = value->bytes;
    return (b[0] | b[1] | b[2] | b[3]) != 0;
}

std::optional<std::string> loopback_system_proxy() {
    auto key =
        platform::open_registry_key(platform::RegistryRoot::CurrentUser, kInternetSettingsKey);
    if (!key)
        return std::nullopt;
    if (!proxy_enabled(platform::read_registry_value(*key, "ProxyEnable")))
        return std::nullopt;
    auto server = platform::read_registry_value(*key, "ProxyServer");
    if (!server)
        return std::nullopt;
    auto text = platform::registry_string(*server);
    if (!text)
        return std::nullopt;
    return loopback_proxy_entry(*text);
}

} // namespace kest::vpn
