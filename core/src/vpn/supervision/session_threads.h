#pragma once
// The threads that watch over a running tunnel session.
#include <cstdint>
#include <memory>
#include <string>

#include "config/route_plan.h"
#include "vpn/controller.h"
#include "vpn/supervision/engine_crash_watcher.h"
#include "vpn/supervision/sysdns_watch.h"
#include "vpn/supervision/tcp_reset_schedule.h"
#include "vpn/supervision/tunnel_probe.h"

namespace kest::vpn {

// Durations, the probe's target and the system calls of the four threads; the defaults are the
// product's.
struct SupervisionSettings {
    ResetScheduleSettings reset_schedule;
    CrashWatchSettings crash_watch;
    DnsWatchSettings dns_watch;
    TunnelProbeSettings probe;
};

// Starts, detached and in this order: the reset schedule (own copy of the plan), the crash
// watcher, the DNS watch (only with a resolver), the tunnel probe (only in mode "everywhere").
// A thread the system refuses is thrown, after the threads already started were stopped.
void start_session_threads(const std::shared_ptr<VpnController>& controller, const StopFlag& stop,
                           std::uint64_t token, const config::RoutePlan& plan,
                           const std::string& resolver, const SupervisionSettings& settings);

} // namespace kest::vpn
