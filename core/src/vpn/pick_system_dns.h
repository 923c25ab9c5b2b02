#pragma once
// The bypass resolver: the first usable system DNS server, in list order, that answers a probe.
#include <chrono>
#include <cstdint>
#include <string>

#include "vpn/dns_probe.h"
#include "vpn/system_dns.h"

namespace kest::vpn {

struct DnsPickSettings {
    // One deadline for every probe, taken before the first starts.
    std::chrono::milliseconds deadline{5000};
    std::uint16_t port = dns_port;
};

// Probes every candidate at once and walks them in order: a true answer picks that candidate,
// false (or a probe that could not run) moves on, and reaching the deadline while waiting on
// a candidate ends the walk with "" even when later ones have answered. "" when nobody answers.
std::string pick_from_candidates(const UsableDnsList& candidates,
                                 const DnsPickSettings& settings = {});

// pick_from_candidates over the usable servers of the system list; "" at once without any.
std::string
pick_system_dns(const DnsPickSettings& settings = {},
                const std::string& resolver_config_path = platform::default_resolver_config_path());

} // namespace kest::vpn
