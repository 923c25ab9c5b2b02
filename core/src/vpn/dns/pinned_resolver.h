#pragma once
// The bypass resolver pinned into a session's configuration, checked against the system's list.
#include <functional>
#include <string_view>

#include "vpn/dns/system_dns.h"

namespace kest::vpn {

// True when resolver is a dotted IPv4 address (at most 15 characters) that is no longer among
// the usable IPv4 servers of the system list. An empty resolver, or one that is not such an
// address, is never checked (and the list is not read).
bool pinned_resolver_gone(std::string_view resolver,
                          const std::function<DnsServerList()>& system_servers);

} // namespace kest::vpn
