// The core process: serves the front end over standard input and output until its input ends
// or it is told to shut down.
#include <memory>
#include <string>

#include "base/detached_thread.h"
#include "platform/exit.h"
#include "platform/process_setup.h"
#include "rpc/app_state.h"
#include "rpc/events.h"
#include "rpc/request_loop.h"
#include "rpc/shutdown.h"
#include "rpc/texts.h"
#include "util/log.h"
#include "vpn/session/command_runners.h"

int main() {
    using namespace kest;
    platform::prepare_process();
    auto [producer, events] = rpc::EventQueue::make();
    auto unwritten = std::make_shared<rpc::UnwrittenLines>();
    vpn::StatusSink sink = rpc::make_status_sink(producer, unwritten);
    producer.reset(); // the status callbacks own the producer handles from here on
    auto controller =
        std::make_shared<vpn::VpnController>(std::move(sink), vpn::default_command_runners());
    auto state = std::make_shared<rpc::AppState>(controller, std::move(unwritten));
    controller.reset();

    if (auto started = start_detached(rpc::event_writer_thread, std::move(events), state);
        !started) {
        // Without the writer no state change would ever reach the front end.
        log_line(LogTag::Core, std::string(rpc::kNoEventWriter) + started.error());
        platform::exit_process(1);
    }
    rpc::run_request_loop(state);
    rpc::shutdown_once(state);
    // A "shutdown" request came first: its teardown runs to its end (or its limit) and ends
    // the process, whatever the input did after it. Returning here would cut it short.
    rpc::await_running_shutdown();
}
