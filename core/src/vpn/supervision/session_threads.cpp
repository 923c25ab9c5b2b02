#include "vpn/supervision/session_threads.h"

#include <stdexcept>

#include "base/detached_thread.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

void require_started(const Expected<void>& started, const StopFlag& stop) {
    if (started)
        return;
    // The threads already running end with the flag; the caller stops the session itself.
    stop->store(true);
    throw std::runtime_error(fill_text(texts::session_thread_refused, {started.error()}));
}

} // namespace

void start_session_threads(const std::shared_ptr<VpnController>& controller, const StopFlag& stop,
                           std::uint64_t token, const config::RoutePlan& plan,
                           const std::string& resolver, const SupervisionSettings& settings) {
    require_started(start_detached(tcp_reset_schedule, plan, stop, settings.reset_schedule), stop);
    require_started(start_detached(engine_crash_watcher, controller, token, settings.crash_watch),
                    stop);
    if (!resolver.empty())
        require_started(
            start_detached(sysdns_watch, controller, stop, resolver, settings.dns_watch), stop);
    if (!plan.selected_mode)
        require_started(start_detached(tunnel_probe, controller, stop, token, settings.probe),
                        stop);
}

} // namespace kest::vpn
