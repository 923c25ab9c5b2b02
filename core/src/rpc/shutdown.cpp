#include "rpc/shutdown.h"

#include <chrono>

#include "base/channel.h"
#include "base/detached_thread.h"
#include "platform/exit.h"
#include "rpc/texts.h"
#include "util/log.h"
#include "vpn/engine/child_list.h"

namespace kest::rpc {
namespace {

struct TornDown {};

void teardown_worker(std::shared_ptr<vpn::VpnController> controller, std::uint64_t arrival,
                     Channel<TornDown>::Sender done) {
    try {
        (void)vpn::submit_disconnect(controller, arrival);
    } catch (...) {
        // No worker could be started: dropping the sender tells the waiting side the teardown
        // ended early, which it logs before exiting like after a time-out.
        return;
    }
    (void)done.send(TornDown{});
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // Newer than every request read so far: a connect whose thread is still on its way to the
    // controller must not bring the tunnel up behind the teardown.
    const std::uint64_t arrival = state->take_arrival_number();
    if (!start_detached(teardown_worker, state->controller, arrival, std::move(sender))) {
        // No thread for the teardown: nothing would ask the engine to stop, so it is ended at
        // once with the rest.
        exit_core(std::chrono::steady_clock::now());
    }
    if (!receiver.recv_until(deadline))
        log_line(LogTag::Core, kTeardownTimedOut);
    exit_core(deadline);
}

void exit_core(std::chrono::steady_clock::time_point engines_deadline) {
    vpn::end_children_for_exit(engines_deadline);
    platform::exit_process(0);
}

void shutdown_thread(std::shared_ptr<AppState> state) {
    shutdown_once(state);
}

} // namespace kest::rpc
