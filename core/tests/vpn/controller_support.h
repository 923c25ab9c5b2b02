#pragma once
// What the controller's tests share: a sink that records the status reports, result names for
// readable failures, and a first command that runs while a newer one waits.
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "vpn/controller.h"

namespace kest::vpn {

struct Event {
    VpnState state;
    std::string msg;
};

// Records what the controller tells the front end.
struct RecordingSink {
    std::mutex mutex;
    std::vector<Event> events;
    int restarts = 0;

    StatusSink sink() {
        return {[this](VpnState s, const std::string& m) {
                    std::lock_guard lock(mutex);
                    events.push_back({s, m});
                },
                [this] {
                    std::lock_guard lock(mutex);
                    ++restarts;
                }};
    }
    std::vector<Event> snapshot() {
        std::lock_guard lock(mutex);
        return events;
    }
};

inline std::string result_name(const CommandResult& r) {
    if (std::holds_alternative<Done>(r))
        return "Done";
    if (std::holds_alternative<Superseded>(r))
        return "Superseded";
    return "Failed: " + std::get<Failed>(r).error.message;
}

inline void wait_for_queue(VpnController& c, std::size_t n) {
    for (int i = 0; i < 5000 && c.queue_length() < n; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(c.queue_length(), n);
}

struct FirstAndNext {
    std::string first;
    std::string next;
};

// Submits a connect "first" whose run is body, called only once a second connect "next" waits
// in the queue; "next" and every other command end Done. Gives both results by name.
inline FirstAndNext run_while_newer_waits(StatusSink sink,
                                          std::function<CommandResult(VpnController&)> body) {
    std::promise<void> started;
    std::promise<void> go;
    auto go_future = go.get_future().share();
    auto runner = [&](VpnController& c, VpnCommand& command) -> CommandResult {
        if (command.link != "first")
            return Done{};
        started.set_value();
        go_future.wait();
        return body(c);
    };
    auto controller =
        std::make_shared<VpnController>(std::move(sink), CommandRunners{runner, runner});
    auto first = std::async(std::launch::async, [&] {
        return result_name(submit_command(controller, CommandKind::Connect, "first", {}));
    });
    started.get_future().wait();
    auto next = std::async(std::launch::async, [&] {
        return result_name(submit_command(controller, CommandKind::Connect, "next", {}));
    });
    wait_for_queue(*controller, 1);
    go.set_value();
    return {first.get(), next.get()};
}

} // namespace kest::vpn
