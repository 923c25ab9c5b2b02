#include "vpn/session/connect_request.h"

#include "vpn/session/connect_params.h"
#include "vpn/session/connect_plan.h"

namespace kest::vpn {
namespace {

Json failure_reply(const std::string& message, std::string_view toast_key) {
    return {{"error", message}, {"ok", false}, {"toast_key", toast_key}};
}

} // namespace

std::string_view toast_key_for(const VpnError& error) {
    const std::string& message = vpn_error_message(error);
    if (is_no_admin_error(message))
        return kToastNoAdmin;
    if (is_already_exists_error(message))
        return kToastAdapterBusy;
    if (error.kind == "config")
        return kToastBadConfig;
    return kToastTunnelFailed;
}

Json connect_reply(const CommandResult& result, const SystemProxyLookup& system_proxy) {
    if (std::holds_alternative<Done>(result))
        return {{"foreign_proxy", system_proxy().value_or("")}, {"ok", true}};
    if (std::holds_alternative<Superseded>(result))
        return {{"ok", false}, {"superseded", true}};
    const VpnError& error = std::get<Failed>(result).error;
    return failure_reply(vpn_error_message(error), toast_key_for(error));
}

Json handle_connect(Json params, const std::shared_ptr<VpnController>& controller,
                    const SystemProxyLookup& system_proxy, ArrivalOrder arrival) {
    auto decoded = decode_connect_params(params);
    if (!decoded)
        return failure_reply(decoded.error(), kToastBadConfig);
    config::RoutePlan plan = build_route_plan(*decoded);
    CommandKind kind = decoded->reload ? CommandKind::Apply : CommandKind::Connect;
    CommandResult result =
        submit_command(controller, kind, std::move(decoded->link), std::move(plan), arrival);
    return connect_reply(result, system_proxy);
}

} // namespace kest::vpn
