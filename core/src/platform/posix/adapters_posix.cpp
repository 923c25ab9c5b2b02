#include "platform/adapters.h"
#include "platform/fs.h"

namespace kest::platform {

std::string default_resolver_config_path() {
    return "/etc/resolv.conf";
}

AdapterCall get_adapters_addresses(std::size_t, const std::string& resolver_config_path) {
    AdapterCall call;
    auto text = read_file(resolver_config_path);
    if (!text)
        return call;
    call.status = AdapterCallStatus::Ok;
    AdapterRecord resolver;
    resolver.oper_status = oper_status_up;
    for (const SocketAddressRecord& server : resolver_config_nameservers(*text))
        resolver.dns_servers.emplace_back(server);
    call.adapters.push_back(std::move(resolver));
    return call;
}

} // namespace kest::platform
