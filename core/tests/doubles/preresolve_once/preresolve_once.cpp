// Runs one server pre-resolution in a process of its own, so that a test can read the log it
// writes: arguments outbound-json endpoint-1 endpoint-2 doh-phase-ms overall-ms; the edited
// outbound goes to standard output as one line.
#include <chrono>
#include <string>

#include "platform/arguments.h"
#include "platform/exit.h"
#include "platform/stdio.h"
#include "vpn/dns/preresolve.h"
#include "json/cursor.h"

int main(int argc, char** argv) {
    using namespace kest;
    auto args = platform::program_arguments(argc, argv);
    if (args.size() != 5) {
        platform::write_stderr("usage: preresolve_once outbound endpoint-1 endpoint-2 "
                               "doh-phase-ms overall-ms\n");
        return 2;
    }
    json::Cursor cursor(args[0]);
    auto outbound = cursor.read_value(64);
    if (!outbound) {
        platform::write_stderr(outbound.error() + "\n");
        return 2;
    }
    vpn::PreresolveSettings settings;
    settings.endpoint_1 = args[1];
    settings.endpoint_2 = args[2];
    settings.doh_phase = std::chrono::milliseconds(std::stoll(args[3]));
    settings.overall = std::chrono::milliseconds(std::stoll(args[4]));
    vpn::preresolve_server(*outbound, settings);
    auto line = json::dump_compact(*outbound);
    platform::write_stdout((line ? *line : line.error()) + "\n");
    // The losing lookup may still be running; end the way the core ends, without running the
    // static destructors under it.
    platform::exit_process(0);
}
