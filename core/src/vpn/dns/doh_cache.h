#pragma once
// The process-wide memory of recent pre-resolution answers: host text (byte-wise, as the
// outbound held it) to the IPv4 address found and when it was stored. An entry is fresh for
// 600 s; a hit does not renew it. Before each insertion into a map of 64 or more entries the
// aged ones go, and when 64 or more remain, all of them, so it never holds more than 64.
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace kest::vpn {

class DohCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds max_age{600};
    static constexpr std::size_t max_entries = 64;

    std::optional<std::string> fresh(const std::string& host, Clock::time_point now) const;
    void store(const std::string& host, std::string address, Clock::time_point now);

    std::size_t size() const;
    bool holds(const std::string& host) const;

private:
    struct Entry {
        std::string address;
        Clock::time_point stored;
    };

    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

// Made empty on first use, kept until the process ends.
DohCache& doh_cache();

} // namespace kest::vpn
