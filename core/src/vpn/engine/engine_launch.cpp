#include "vpn/engine/engine_launch.h"

#include <memory>
#include <stdexcept>
#include <utility>

#include "base/detached_thread.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "vpn/engine/child_list.h"
#include "vpn/engine/engine_pipes.h"
#include "vpn/engine/start_report.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

Unexpected<VpnError> failure(std::string_view kind, std::string message) {
    return unexpected(VpnError{std::string(kind), std::move(message)});
}

// An engine that will not be used: asked to stop (killed when it will not), then dropped.
void discard(EngineHandle handle) {
    stop_engine(handle);
}

} // namespace

Expected<EngineHandle, VpnError> launch_engine(const std::string& exe,
                                               const std::string& config_path,
                                               std::chrono::milliseconds report_timeout) {
    if (!platform::file_exists(exe))
        return failure(error_kind::spawn, fill_text(texts::engine_not_found, {exe}));

    platform::SpawnOptions options;
    options.program = exe;
    options.args = {config_path};
    options.pipes = true;
    options.no_window = true;
    auto spawned = platform::spawn(options);
    if (!spawned)
        return failure(error_kind::spawn, fill_text(texts::engine_not_started, {spawned.error()}));
    platform::Child& child = *spawned;

    EngineHandle handle;
    handle.stdin_pipe = std::move(child.stdin_pipe);
    handle.child = std::make_unique<ListedProcess>(std::move(child.process), live_engines());
    // Until its report is in, only this thread would ever end the engine: a core that exits
    // meanwhile ends it on the way out. Taken off before the engine is asked to stop or passes
    // to the caller.
    auto in_flight = children_in_flight().add(*handle.child);
    auto thread_refused = [&](const std::string& error) {
        in_flight.reset();
        discard(std::move(handle));
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

    auto report = wait_start_report(handle.reports, report_timeout);
    in_flight.reset();
    if (!report) {
        discard(std::move(handle));
        return failure(error_kind::start, std::string(texts::engine_no_report));
    }
    if (!report->ok) {
        discard(std::move(handle));
        return failure(report->kind.empty() ? error_kind::start : report->kind,
                       std::move(report->error));
    }
    return handle;
}

} // namespace kest::vpn
