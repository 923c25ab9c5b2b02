#include "rpc/shutdown.h"

#include <chrono>

#include "base/channel.h"
#include "base/detached_thread.h"
#include "platform/exit.h"
#include "rpc/texts.h"
#include "util/log.h"
#include "vpn/children_in_flight.h"

namespace kest::rpc {
namespace {

struct TornDown {};

void teardown_worker(std::shared_ptr<vpn::VpnController> controller,
                     Channel<TornDown>::Sender done) {
    try {
        (void)vpn::submit_disconnect(controller);
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
    if (!start_detached(teardown_worker, state->controller, std::move(sender))) {
        // No thread for the teardown: the engine still stops on its own once our end of its
        // input closes with the process.
        exit_core();
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    if (!receiver.recv_until(deadline))
        log_line(LogTag::Core, kTeardownTimedOut);
    exit_core();
}

void exit_core() {
    vpn::children_in_flight().end_all();
    platform::exit_process(0);
}

void shutdown_thread(std::shared_ptr<AppState> state) {
    shutdown_once(state);
}

} // namespace kest::rpc
