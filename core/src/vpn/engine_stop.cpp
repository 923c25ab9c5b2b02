#include "vpn/engine_handle.h"

#include <chrono>
#include <thread>

#include "text/white_space.h"
#include "util/log.h"
#include "vpn/start_report.h"

namespace kest::vpn {
namespace {

using Clock = std::chrono::steady_clock;

// Gives an engine that said it is stopping 5 s more to exit on its own.
void engine_reaper(std::unique_ptr<platform::Process> process) {
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!process->try_wait()) {
        if (Clock::now() >= deadline) {
            process->terminate(1);
            process->wait();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
                if (report && report->kind == "stopped") {
                    std::thread(engine_reaper, std::move(handle.child)).detach();
                    return;
                }
            }
        }
        if (Clock::now() >= deadline) {
            log_line(LogTag::Vpn, "движок не завершился за отведённое время — убиваем");
            auto child = std::move(handle.child);
            child->terminate(1);
            child->wait();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

} // namespace kest::vpn
