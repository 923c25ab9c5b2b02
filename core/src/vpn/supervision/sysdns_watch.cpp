#include "vpn/supervision/sysdns_watch.h"

#include "util/log.h"
#include "vpn/dns/pinned_resolver.h"
#include "vpn/supervision/stoppable_wait.h"
#include "vpn/texts.h"

namespace kest::vpn {

void sysdns_watch(std::shared_ptr<VpnController> controller, StopFlag stop, std::string resolver,
                  DnsWatchSettings settings) {
    for (;;) {
        if (!stoppable_wait(*stop, settings.interval))
            return;
        if (pinned_resolver_gone(resolver, settings.system_dns_servers)) {
            log_line(LogTag::Vpn, fill_text(texts::system_dns_changed, {resolver}));
            controller->status_sink().on_need_restart();
            return;
        }
    }
}

} // namespace kest::vpn
