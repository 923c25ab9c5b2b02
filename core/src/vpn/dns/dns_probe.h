#pragma once
// One UDP question to a DNS server to learn whether it answers at all: the root's NS records,
// recursion desired, with a random ID.
#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "base/channel.h"
#include "text/ip_address.h"

namespace kest::vpn {

using DnsQueryId = std::array<std::uint8_t, 2>;
using DnsProbeQuery = std::array<std::uint8_t, 17>;

inline constexpr std::uint16_t dns_port = 53;
inline constexpr std::chrono::milliseconds dns_probe_timeout{2000};
inline constexpr std::size_t dns_probe_reply_buffer = 512;

// The 17-byte query: ID, flags 0x0100, one question, the root name, type NS, class IN.
DnsProbeQuery dns_probe_query(const DnsQueryId& id);

// At least a header long, the ID echoed and the QR bit set; the response code does not matter.
bool is_probe_reply(std::span<const std::uint8_t> reply, const DnsQueryId& id);

// Body of one probe thread: asks address:port and sends whether a reply came within the
// socket time-outs. A send that nobody waits for any more is ignored.
void probe_dns_server(text::Ipv4Bytes address, Channel<bool>::Sender result,
                      std::uint16_t port = dns_port);

} // namespace kest::vpn
