#pragma once
// Checks now and then that traffic really passes the tunnel: in mode "everywhere" a connection
// to a public address goes through it. Two failed checks in a row ask the front end to connect
// again.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/values.h"
#include "vpn/controller.h"
#include "vpn/supervision/stoppable_wait.h"

namespace kest::vpn {

struct ProbeTarget {
    // The public resolver the engine's remote DNS server uses: reachable only through the
    // tunnel once it is up.
    std::string address = std::string(config::kPublicResolverAddress);
    std::uint16_t port = 443;
};

struct TunnelProbeSettings {
    ProbeTarget target;
    // For the connection, and for each send and receive.
    std::chrono::milliseconds timeout{8000};
    std::chrono::milliseconds first_wait{8000};
    std::chrono::milliseconds first_interval{45000};
    // Intervals double after a success, from no more than this (so at most twice it).
    std::chrono::milliseconds interval_cap{150000};
    // How the thread waits; a stoppable wait.
    std::function<bool(const std::atomic<bool>&, std::chrono::milliseconds)> wait = stoppable_wait;
};

// One probe: a TCP connection to the target (the first address its name gives), an HTTP
// "HEAD" request, and at least one byte back. Any failure on the way is false.
bool probe_tunnel(const ProbeTarget& target, std::chrono::milliseconds timeout);

// The wait after a successful probe that followed a wait of interval.
std::chrono::milliseconds interval_after_success(std::chrono::milliseconds interval,
                                                 std::chrono::milliseconds cap);

void tunnel_probe(std::shared_ptr<VpnController> controller, StopFlag stop, std::uint64_t token,
                  TunnelProbeSettings settings);

} // namespace kest::vpn
