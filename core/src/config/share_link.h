#pragma once
// Share links (VLESS, Hysteria 2, Hysteria, NaiveProxy) turned into the engine's proxy outbound.
#include <string_view>

#include "base/expected.h"
#include "json/json.h"

namespace kest::config {

// The engine's outbound object for the proxy server, always tagged "proxy". Later steps edit
// it in place ("server", the "server_name" of "tls") before it goes into the configuration.
using Outbound = Json;

// Any text in; the error is a Russian text to be shown to the user unchanged. Reads the
// environment variable "KEST_NO_UOT" for NaiveProxy links that ask for UDP over TCP.
Expected<Outbound> parse_share_link(std::string_view link);

} // namespace kest::config
