#include "vpn/engine/engine_handle.h"

#include <chrono>
#include <thread>

#include "base/detached_thread.h"
#include "text/white_space.h"
#include "util/log.h"
#include "vpn/engine/child_list.h"
#include "vpn/engine/start_report.h"
#include "vpn/engine/vpn_error.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using Clock = std::chrono::steady_clock;

// Gives an engine that said it is stopping 5 s more to exit on its own. Shared so that the
// caller keeps the process when the system refuses the thread.
void engine_reaper(std::shared_ptr<platform::Process> process) {
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!process->try_wait()) {
        if (Clock::now() >= deadline) {
            // Through the list, like the stop's own kill: the core's exit may end this engine
            // at the same moment, and it is ended, and logged, once.
            (void)live_engines().terminate(*process);
            process->wait();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void hand_to_reaper(std::unique_ptr<platform::Process> child) {
    std::shared_ptr<platform::Process> process = std::move(child);
    if (!start_detached(engine_reaper, process)) {
        // No thread for the reaper: the engine still gets its 5 s, on this thread.
        engine_reaper(std::move(process));
    }
}

} // namespace

void stop_engine(EngineHandle& handle) {
    if (handle.stdin_pipe)
        handle.stdin_pipe->close();
    handle.stdin_pipe.reset();
    auto deadline = Clock::now() + std::chrono::seconds(5);
    if (!handle.child)
        return;
    for (;;) {
        if (handle.child->try_wait())
            return;
        if (handle.reports) {
            if (auto line = handle.reports.try_recv()) {
                auto report = parse_start_report(text::trim_white_space(*line));
                if (report && report->kind == error_kind::stopped) {
                    hand_to_reaper(std::move(handle.child));
                    return;
                }
            }
        }
        if (Clock::now() >= deadline) {
            auto child = std::move(handle.child);
            // Through the list: the core's exit may end this engine at the same moment, and
            // the kill is logged once.
            if (live_engines().terminate(*child))
                log_line(LogTag::Vpn, texts::engine_killed);
            child->wait();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

} // namespace kest::vpn
