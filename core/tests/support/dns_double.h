#pragma once
// A DNS server on a loopback address for the probe tests: it records every query datagram and
// answers it the way its behaviour says.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace kest::testing {

enum class DnsBehaviour {
    Answer,        // the query's ID, QR set, no error
    ErrorResponse, // the query's ID, QR set, response code SERVFAIL
    WrongId,       // the ID with its last bit flipped, QR set
    QrClear,       // the query's ID, QR clear
    Short,         // the query's ID and QR set, but only 11 bytes
    Silent,        // never answers
};

class DnsDouble {
public:
    // Binds address:port (port 0: any free one); throws std::runtime_error when it cannot.
    DnsDouble(const text::Ipv4Bytes& address, std::uint16_t port, DnsBehaviour behaviour);
    ~DnsDouble();
    DnsDouble(const DnsDouble&) = delete;
    DnsDouble& operator=(const DnsDouble&) = delete;

    std::uint16_t port() const { return port_; }
    // The datagrams received so far, in order.
    std::vector<std::string> queries() const;
    // Waits until n datagrams have arrived; false when the time-out came first.
    bool wait_queries(std::size_t n, std::chrono::milliseconds timeout) const;
    void stop();

private:
    void serve();

    platform::Socket socket_;
    std::uint16_t port_ = 0;
    DnsBehaviour behaviour_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mu_;
    mutable std::condition_variable arrived_;
    std::vector<std::string> queries_;
    std::thread thread_;
};

} // namespace kest::testing
