#include "vpn/dns/doh_cache.h"

namespace kest::vpn {

std::optional<std::string> DohCache::fresh(const std::string& host, Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(host);
    if (it == entries_.end() || now - it->second.stored >= max_age)
        return std::nullopt;
    return it->second.address;
}

void DohCache::store(const std::string& host, std::string address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= max_entries) {
        std::erase_if(entries_, [&](const auto& e) { return now - e.second.stored >= max_age; });
        if (entries_.size() >= max_entries)
            entries_.clear();
    }
    entries_.insert_or_assign(host, Entry{std::move(address), now});
}

std::size_t DohCache::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

bool DohCache::holds(const std::string& host) const {
    std::lock_guard lock(mutex_);
    return entries_.contains(host);
}

// Never destroyed: the VPN worker may still be inside a lookup while the process exits.
DohCache& doh_cache() {
    static auto* cache = new DohCache;
    return *cache;
}

} // namespace kest::vpn
