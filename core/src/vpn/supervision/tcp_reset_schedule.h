#pragma once
// Applications of the routing rules that held connections open across the start reconnect
// through the tunnel only once those connections are cut; some reconnect before the engine's
// routes settle, so the cut is repeated a few times after the start.
#include <array>
#include <chrono>
#include <functional>

#include "config/route_plan.h"
#include "vpn/controller.h"
#include "vpn/host/connection_reset.h"

namespace kest::vpn {

struct ResetScheduleSettings {
    // Waits before each reset: resets at about 0.4, 1.9 and 5.9 s.
    std::array<std::chrono::milliseconds, 3> delays{std::chrono::milliseconds(400),
                                                    std::chrono::milliseconds(1500),
                                                    std::chrono::milliseconds(4000)};
    std::function<void(const config::RoutePlan&)> reset_connections =
        [](const config::RoutePlan& plan) { reset_rule_app_connections(plan); };
};

void tcp_reset_schedule(config::RoutePlan plan, StopFlag stop, ResetScheduleSettings settings);

} // namespace kest::vpn
