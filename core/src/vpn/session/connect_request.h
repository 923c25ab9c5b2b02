#pragma once
// The "connect" request: the front end's choice becomes one Connect (or, with "reload", Apply)
// command, and the command's outcome becomes the reply object.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vpn/command.h"
#include "vpn/controller.h"
#include "vpn/host/system_proxy.h"
#include "json/json.h"

namespace kest::vpn {

// Toast keys that tell the front end which message to show for a failed connect.
inline constexpr std::string_view kToastNoAdmin = "err_no_permission_admin";
inline constexpr std::string_view kToastAdapterBusy = "err_adapter_busy";
inline constexpr std::string_view kToastBadConfig = "err_bad_config";
inline constexpr std::string_view kToastTunnelFailed = "err_tunnel_failed";

// A proxy on the local machine switched on in the system's Internet settings, if any.
using SystemProxyLookup = std::function<std::optional<std::string>()>;

// The toast key of a failure: missing rights first, then a busy adapter, then a rejected
// configuration, else the tunnel in general.
std::string_view toast_key_for(const VpnError& error);

// The reply for a finished command; system_proxy is asked only after a success.
Json connect_reply(const CommandResult& result, const SystemProxyLookup& system_proxy);

// Always a reply object, also for parameters that do not decode (then nothing is submitted).
// Blocks until the worker has answered the command.
Json handle_connect(Json params, const std::shared_ptr<VpnController>& controller,
                    const SystemProxyLookup& system_proxy = loopback_system_proxy,
                    ArrivalOrder arrival = {});

} // namespace kest::vpn
