#include "vpn/dns/pinned_resolver.h"

#include <algorithm>

#include "text/ip_address.h"

namespace kest::vpn {

bool pinned_resolver_gone(std::string_view resolver,
                          const std::function<DnsServerList()>& system_servers) {
    if (resolver.empty() || resolver.size() > 15)
        return false;
    auto address = text::parse_ipv4_text(resolver);
    if (!address)
        return false;
    UsableDnsList usable = usable_ipv4_dns(system_servers());
    return std::find(usable.begin(), usable.end(), *address) == usable.end();
}

} // namespace kest::vpn
