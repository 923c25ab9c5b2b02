#include "vpn/dns/dns_probe.h"

#include "platform/net.h"
#include "platform/random.h"

namespace kest::vpn {
namespace {

bool probe(const text::Ipv4Bytes& address, std::uint16_t port) {
    auto socket = platform::open_udp(dns_probe_timeout, dns_probe_timeout);
    if (!socket || !platform::connect_udp(*socket, address, port))
        return false;
    DnsQueryId id;
    if (!platform::fill_random(id))
        return false;
    DnsProbeQuery query = dns_probe_query(id);
    if (!platform::send_datagram(
            *socket, std::string_view(reinterpret_cast<const char*>(query.data()), query.size())))
        return false;
    std::array<char, dns_probe_reply_buffer> reply;
    auto received = platform::receive_datagram(*socket, reply.data(), reply.size());
    if (!received)
        return false;
    return is_probe_reply(std::span(reinterpret_cast<const std::uint8_t*>(reply.data()), *received),
                          id);
}

} // namespace

DnsProbeQuery dns_probe_query(const DnsQueryId& id) {
    return {id[0], id[1], 0x01, 0x00, // flags: recursion desired
            0x00,  0x01,              // one question
            0x00,  0x00,  0x00, 0x00, 0x00, 0x00,
            0x00,         // the root name
            0x00,  0x02,  // NS
            0x00,  0x01}; // IN
}

bool is_probe_reply(std::span<const std::uint8_t> reply, const DnsQueryId& id) {
    return reply.size() >= 12 && reply[0] == id[0] && reply[1] == id[1] && (reply[2] & 0x80) != 0;
}

void probe_dns_server(text::Ipv4Bytes address, Channel<bool>::Sender result, std::uint16_t port) {
    result.send(probe(address, port));
}

} // namespace kest::vpn
