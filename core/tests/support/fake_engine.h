#pragma once
// An engine handle without a process behind it: the test chooses how the "engine" answers the
// closing of its input and watches what the core does to it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "vpn/controller.h"
#include "vpn/engine/engine_handle.h"

namespace kest::testing {

enum class OnClosedInput { Exit, ReportStopped, Ignore };

// The engine's side, shared with the test: the process object itself goes wherever the core
// sends it (a reaper thread, or away).
struct EngineSide {
    std::atomic<bool> input_closed{false};
    std::atomic<bool> exited{false};
    std::atomic<int> terminated_with{-1};
    std::atomic<bool> waited{false};
    std::atomic<bool> process_released{false};
    // Written before process_released is raised.
    std::chrono::steady_clock::time_point terminated_at;

    // The engine's input: the lines written to it, and how it answers them.
    std::mutex mutex;
    std::vector<std::string> written;       // under mutex
    std::optional<std::string> answer;      // sent as a report line after each write
    bool refuse_writes = false;             // set before the handle is used
    std::function<void()> on_write = [] {}; // runs in the write, before the answer
    std::vector<std::string> written_lines() {
        std::lock_guard lock(mutex);
        return written;
    }
};

struct FakeEngine {
    explicit FakeEngine(OnClosedInput behaviour);

    std::shared_ptr<EngineSide> side = std::make_shared<EngineSide>();
    vpn::EngineHandle handle;
};

// Puts a session with this handle into the controller, the way a successful start does, with
// a lowered stop flag and the next session token.
void install_engine(vpn::VpnController& controller, vpn::EngineHandle handle,
                    std::string secret = "", std::uint16_t port = 0);

} // namespace kest::testing
