#pragma once
// A proxy on this machine switched on in the user's Internet settings: it takes the
// applications' traffic before the tunnel sees it, so the connect reply names it.
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kest::vpn {

// The first entry of a "ProxyServer" text (entries split at ";", each optionally
// "scheme=host:port") whose host is localhost, an IPv4 address 127.x.x.x or the IPv6 address
// ::1; the entry is returned trimmed, port included.
std::optional<std::string> loopback_proxy_entry(std::string_view proxy_server);

// "ProxyEnable" as stored: a REG_DWORD of at least 4 bytes whose little-endian value is not 0.
bool proxy_enabled(const std::optional<platform::RegistryValue>& value);

// Reads the current user's Internet settings; changes nothing and logs nothing. None where
// there is no registry.
std::optional<std::string> loopback_system_proxy();

} // namespace kest::vpn
