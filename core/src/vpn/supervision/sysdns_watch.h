#pragma once
// Watches that the bypass resolver pinned into the session's configuration is still one of the
// system's DNS servers; when it has gone (another network), the front end is asked to connect
// again so that a new one is picked.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "vpn/controller.h"
#include "vpn/dns/system_dns.h"

namespace kest::vpn {

struct DnsWatchSettings {
    std::chrono::milliseconds interval{30000};
    std::function<DnsServerList()> system_dns_servers = [] { return vpn::system_dns_servers(); };
};

void sysdns_watch(std::shared_ptr<VpnController> controller, StopFlag stop, std::string resolver,
                  DnsWatchSettings settings);

} // namespace kest::vpn
