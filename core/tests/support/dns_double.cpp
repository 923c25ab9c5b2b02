#include "support/dns_double.h"

#include <stdexcept>

namespace kest::testing {

DnsDouble::DnsDouble(const text::Ipv4Bytes& address, std::uint16_t port, DnsBehaviour behaviour)
    : behaviour_(behaviour) {
    auto socket = platform::bind_udp(address, port);
    if (!socket)
        throw std::runtime_error("DNS double cannot bind: " + socket.error());
    socket_ = std::move(*socket);
    port_ = socket_.local_port();
    thread_ = std::thread([this] { serve(); });
}

DnsDouble::~DnsDouble() {
    stop();
}

void DnsDouble::stop() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::vector<std::string> DnsDouble::queries() const {
    std::lock_guard lock(mu_);
    return queries_;
}

bool DnsDouble::wait_queries(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mu_);
    return arrived_.wait_for(lock, timeout, [&] { return queries_.size() >= n; });
}

void DnsDouble::serve() {
    char buf[1500];
    while (!stopping_) {
        platform::UdpPeer from;
        auto n = platform::receive_datagram_from(socket_, buf, sizeof buf,
                                                 std::chrono::milliseconds(20), from);
        if (!n)
            continue;
        std::string query(buf, *n);
        {
            std::lock_guard lock(mu_);
            queries_.push_back(query);
        }
        arrived_.notify_all();
        if (behaviour_ == DnsBehaviour::Silent || query.size() < 12)
            continue;
        std::string reply = query;
        reply[2] = static_cast<char>(reply[2] | 0x80);
        switch (behaviour_) {
        case DnsBehaviour::ErrorResponse:
            reply[3] = static_cast<char>((reply[3] & 0xF0) | 0x02);
            break;
        case DnsBehaviour::WrongId:
            reply[1] = static_cast<char>(reply[1] ^ 0x01);
            break;
        case DnsBehaviour::QrClear:
            reply[2] = static_cast<char>(reply[2] & 0x7F);
            break;
        case DnsBehaviour::Short:
            reply.resize(11);
            break;
        default:
            break;
        }
        platform::send_datagram_to(socket_, reply, from);
    }
}

} // namespace kest::testing
