#include "vpn/start_engine.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <utility>

#include "base/detached_thread.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "util/log.h"
#include "vpn/children_in_flight.h"
#include "vpn/controller.h"
#include "vpn/engine_handle.h"
#include "vpn/engine_pipes.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

CommandResult failed(VpnController& controller, std::string_view kind, std::string message) {
    controller.mark_cleanup_pending();
    return Failed{VpnError{std::string(kind), std::move(message)}};
}

// An engine that will not be used: asked to stop (killed when it will not), then dropped.
void discard(EngineHandle handle) {
    stop_engine(handle);
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
    if (!platform::file_exists(*exe))
        return failed(controller, error_kind::spawn, fill_text(texts::engine_not_found, {*exe}));

    platform::SpawnOptions options;
    options.program = *exe;
    options.args = {config_path};
    options.pipes = true;
    options.no_window = true;
    auto spawned = platform::spawn(options);
    if (!spawned)
        return failed(controller, error_kind::spawn,
                      fill_text(texts::engine_not_started, {spawned.error()}));
    platform::Child& child = *spawned;

    EngineHandle handle;
    handle.stdin_pipe = std::move(child.stdin_pipe);
    handle.child = std::move(child.process);
    // Until its report is in, only this thread would ever end the engine: a core that exits
    // meanwhile ends it on the way out. Taken off before the engine is asked to stop or passes
    // to the controller.
    auto in_flight = children_in_flight().add(*handle.child);
    auto thread_refused = [&](const std::string& error) {
        in_flight.reset();
        discard(std::move(handle));
        controller.mark_cleanup_pending();
        throw std::runtime_error(fill_text(texts::engine_thread_refused, {error}));
    };
    if (auto started = start_detached(engine_stderr_logger, std::move(child.stderr_pipe)); !started)
        thread_refused(started.error());
    auto [sender, receiver] = Channel<std::string>::make();
    handle.reports = std::move(receiver);
    if (auto started = start_detached(engine_stdout_forwarder, std::move(child.stdout_pipe),
                                      std::move(sender));
        !started)
        thread_refused(started.error());

    auto report = wait_start_report(handle.reports, steps.report_timeout);
    in_flight.reset();
    if (!report) {
        discard(std::move(handle));
        return failed(controller, error_kind::start, std::string(texts::engine_no_report));
    }
    if (!report->ok) {
        discard(std::move(handle));
        std::string_view kind = report->kind.empty() ? error_kind::start : report->kind;
        return failed(controller, kind, std::move(report->error));
    }

    StopFlag stop_flag = std::make_shared<std::atomic<bool>>(false);
    std::uint64_t token = controller.next_session_token();
    controller.install_session(
        SessionStart{std::move(handle), stop_flag, token, secret, port, resolver});
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
