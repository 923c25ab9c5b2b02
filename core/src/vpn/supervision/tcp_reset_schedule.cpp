#include "vpn/supervision/tcp_reset_schedule.h"

#include "vpn/supervision/stoppable_wait.h"

namespace kest::vpn {

void tcp_reset_schedule(config::RoutePlan plan, StopFlag stop, ResetScheduleSettings settings) {
    for (std::chrono::milliseconds delay : settings.delays) {
        if (!stoppable_wait(*stop, delay))
            return;
        settings.reset_connections(plan);
    }
}

} // namespace kest::vpn
