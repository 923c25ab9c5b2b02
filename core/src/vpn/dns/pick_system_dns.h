#pragma once
// The bypass resolver: the first usable system DNS server, in list order, that answers a probe.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vpn/dns/dns_probe.h"
#include "vpn/dns/system_dns.h"

namespace kest::vpn {

inline constexpr std::chrono::milliseconds dns_pick_deadline{5000};

struct DnsPickSettings {
    // One deadline for every probe, taken before the first starts.
    std::chrono::milliseconds deadline = dns_pick_deadline;
    std::uint16_t port = dns_port;
};

// One candidate server and the port its probe goes to.
struct DnsProbeTarget {
    text::Ipv4Bytes address{};
    std::uint16_t port = dns_port;
};

// Probes every candidate at once and walks them in order: a true answer picks that candidate,
// false (or a probe that could not run) moves on, and reaching the deadline while waiting on
// a candidate ends the walk without a pick even when later ones have answered. The position
// of the pick in the list; none when nobody answered in time.
std::optional<std::size_t> first_answering(const std::vector<DnsProbeTarget>& candidates,
                                           std::chrono::milliseconds deadline = dns_pick_deadline);

// The dotted IPv4 text of first_answering over the usable servers of the system list, each
// probed on settings.port; "" when none answers, and at once when there is none.
std::string
pick_system_dns(const DnsPickSettings& settings = {},
                const std::string& resolver_config_path = platform::default_resolver_config_path());

} // namespace kest::vpn
