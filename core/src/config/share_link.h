#pragma once
// Share links (VLESS, Hysteria 2, Hysteria, NaiveProxy) turned into the engine's proxy outbound.
#include <string_view>

#include "base/expected.h"
#include "json/json.h"

namespace kest::config {

// The engine's outbound object for the proxy server, always tagged "proxy". Later steps edit
// it in place ("server", the "server_name" of "tls") before it goes into the configuration.
using Outbound = Json;

struct ShareLinkOptions {
    // NaiveProxy links that ask for UDP over TCP do not get it (ConfigEnvironment).
    bool udp_over_tcp_disabled = false;
};

// Any text in; the error is a Russian text to be shown to the user unchanged.
Expected<Outbound> parse_share_link(std::string_view link, const ShareLinkOptions& options);

} // namespace kest::config
