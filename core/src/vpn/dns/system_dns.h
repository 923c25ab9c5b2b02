#pragma once
// The DNS servers Windows uses, and the usable IPv4 servers among them.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "text/ip_address.h"

namespace kest::vpn {

// Adapter order, then each adapter's own order; duplicates kept.
using DnsServerList = std::vector<text::IpAddress>;
// Distinct IPv4 addresses in first-seen order.
using UsableDnsList = std::vector<text::Ipv4Bytes>;

inline constexpr std::size_t adapter_buffer_first_size = 15000;
inline constexpr int adapter_buffer_regrowths = 3;

// One call of the adapter listing with a buffer of the given size.
using AdapterListingCall = std::function<platform::AdapterCall(std::size_t buffer_size)>;

// The adapters of the first call that fits: a 15000-byte buffer, then, after each overflow
// answer, one of the size asked for (rounded up to whole 8 bytes), at most 3 times. Another
// error or a fourth overflow gives no adapters.
std::vector<platform::AdapterRecord> list_adapters(const AdapterListingCall& call);

// The DNS servers of the adapters that are up, except the core's own TUN adapter.
DnsServerList dns_servers_of(const std::vector<platform::AdapterRecord>& adapters);

// The system's DNS server list. resolver_config_path is read only where the resolver
// configuration stands in for the adapter listing (POSIX).
DnsServerList system_dns_servers(
    const std::string& resolver_config_path = platform::default_resolver_config_path());

// IPv4 servers and IPv4-mapped IPv6 ones, without the core's own TUN network, link-local,
// 0.0.0.0, loopback and multicast addresses, each once at its first position.
UsableDnsList usable_ipv4_dns(const DnsServerList& servers);

} // namespace kest::vpn
