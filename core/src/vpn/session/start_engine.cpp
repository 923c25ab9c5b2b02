#include "vpn/session/start_engine.h"

#include <atomic>
#include <memory>
#include <utility>

#include "util/log.h"
#include "vpn/controller.h"
#include "vpn/engine/engine_launch.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

CommandResult failed(VpnController& controller, std::string_view kind, std::string message) {
    controller.mark_cleanup_pending();
    return Failed{VpnError{std::string(kind), std::move(message)}};
}

} // namespace

CommandResult start_engine(VpnController& controller, const std::string& config_path,
                           const std::string& secret, std::uint16_t port,
                           const config::RoutePlan& plan, const std::string& resolver,
                           const EngineStartSteps& steps) {
    if (!controller.queue_empty())
        return Superseded{};

    auto exe = steps.exe_path();
    if (!exe)
        return failed(controller, error_kind::spawn, std::string(texts::engine_path_unknown));
    Expected<EngineHandle, VpnError> launched = [&] {
        try {
            return launch_engine(*exe, config_path, steps.report_timeout);
        } catch (...) {
            controller.mark_cleanup_pending();
            throw;
        }
    }();
    if (!launched)
        return failed(controller, launched.error().kind, std::move(launched.error().message));

    StopFlag stop_flag = std::make_shared<std::atomic<bool>>(false);
    std::uint64_t token = controller.next_session_token();
    controller.install_session(
        SessionStart{std::move(*launched), stop_flag, token, secret, port, resolver});
    steps.reset_connections(plan);
    controller.status_sink().on_state(VpnState::Connected, std::string(texts::tunnel_up));
    log_line(LogTag::Vpn, texts::tunnel_up);
    try {
        start_session_threads(controller.shared_from_this(), stop_flag, token, plan, resolver,
                              steps.supervision);
    } catch (...) {
        // An unwatched tunnel is not kept: the command's panic guard tells the user.
        stop_session(controller);
        controller.mark_cleanup_pending();
        throw;
    }
    return Done{};
}

} // namespace kest::vpn
