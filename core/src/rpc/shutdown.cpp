#include "rpc/shutdown.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/channel.h"
#include "base/detached_thread.h"
#include "platform/exit.h"
#include "rpc/texts.h"
#include "util/log.h"
#include "vpn/engine/child_list.h"

namespace kest::rpc {
namespace {

using Clock = std::chrono::steady_clock;

// How long past the limit the exit waits at most: for the children it has ended to be gone,
// and for the lines on their way.
constexpr auto kPastTheLimit = std::chrono::seconds(1);
// What the lines still on their way get at least, also when the exit comes at the limit.
constexpr auto kLastLines = std::chrono::milliseconds(250);

struct TornDown {
    Clock::time_point at; // when the disconnect came back
};

void teardown_worker(std::shared_ptr<vpn::VpnController> controller, std::uint64_t arrival,
                     Channel<TornDown>::Sender done) {
    try {
        (void)vpn::submit_disconnect(controller, arrival);
    } catch (...) {
        // No worker could be started: dropping the sender tells the waiting side the teardown
        // ended early, which it logs before exiting like after a time-out.
        return;
    }
    (void)done.send(TornDown{Clock::now()});
}

} // namespace

void shutdown_once(const std::shared_ptr<AppState>& state) {
    bool first = false;
    std::call_once(state->shutdown_guard, [&] { first = true; });
    if (!first)
        return;
    state->stop_requested.store(true);

    auto [sender, receiver] = Channel<TornDown>::make();
    // Also the limit of every engine still running at the exit, among them one the teardown is
    // stopping: that stop's own 5 s begin later and would end after the core has gone, so the
    // exit ends its engine instead.
    const auto limit = Clock::now() + std::chrono::seconds(5);
    // Newer than every request read so far: a connect whose thread is still on its way to the
    // controller must not bring the tunnel up behind the teardown.
    const std::uint64_t arrival = state->take_arrival_number();
    if (!start_detached(teardown_worker, state->controller, arrival, std::move(sender))) {
        // No thread for the teardown: nothing would ask the engine to stop, so it is ended at
        // once with the rest.
        exit_core(*state, Clock::now());
    }
    // A teardown that came back after the limit, before this thread woke to see the limit
    // pass (a busy machine), was late all the same.
    auto torn_down = receiver.recv_until(limit);
    if (!torn_down || torn_down->at > limit)
        log_line(LogTag::Core, kTeardownTimedOut);
    exit_core(*state, limit);
}

void await_running_shutdown() {
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

void exit_core(AppState& state, Clock::time_point limit) {
    const Clock::time_point give_up = limit + kPastTheLimit;
    vpn::end_children_for_exit(limit, give_up);
    // A front end that has stopped reading holds the lines back until the limit, no longer;
    // the lines of the last moment still get a short while.
    (void)state.unwritten_lines->wait_until_written(
        std::min(give_up, std::max(limit, Clock::now() + kLastLines)));
    platform::exit_process(0);
}

void shutdown_thread(std::shared_ptr<AppState> state) {
    shutdown_once(state);
}

} // namespace kest::rpc
