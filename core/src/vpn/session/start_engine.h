#pragma once
// Starting the engine for one tunnel session: the process with its pipes, its start report,
// and on success the session installed in the controller.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/route_plan.h"
#include "vpn/command.h"
#include "vpn/engine/engine_path.h"
#include "vpn/engine/start_report.h"
#include "vpn/host/connection_reset.h"
#include "vpn/supervision/session_threads.h"

namespace kest::vpn {

class VpnController;

// What start_engine does around the engine itself; tests replace parts of it.
struct EngineStartSteps {
    // Where the engine lies.
    std::function<std::optional<std::string>()> exe_path = engine_exe_path;
    // How long the engine has for its start report.
    std::chrono::milliseconds report_timeout = start_report_timeout;
    // Cuts the TCP connections of the plan's applications once the tunnel is up, so that they
    // reconnect through it.
    std::function<void(const config::RoutePlan&)> reset_connections =
        [](const config::RoutePlan& plan) { reset_rule_app_connections(plan); };
    // What the threads that watch the started session do, and when.
    SupervisionSettings supervision;
};

// Starts the engine with the configuration file at config_path and waits for its report.
// Done: the session (engine, control client for secret and port, a new stop flag, the next
// token, resolver) is in the controller, the plan's connections are reset, "connected" is
// reported and the session's threads run. Superseded, with nothing started, when a newer command
// waits. Failed with kind "spawn" or "start" or the report's own kind; every failure marks the
// orphan clean-up due and is neither logged nor reported here. A thread the system refuses is
// thrown, for the command's panic guard, after the engine has been stopped.
CommandResult start_engine(VpnController& controller, const std::string& config_path,
                           const std::string& secret, std::uint16_t port,
                           const config::RoutePlan& plan, const std::string& resolver,
                           const EngineStartSteps& steps = {});

} // namespace kest::vpn
