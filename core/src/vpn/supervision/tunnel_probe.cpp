#include "vpn/supervision/tunnel_probe.h"

#include <algorithm>
#include <optional>

#include "platform/net.h"
#include "text/ip_address.h"
#include "util/log.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

std::optional<text::Ipv4Bytes> first_address(const std::string& host) {
    if (auto literal = text::parse_ipv4_text(host))
        return literal;
    auto resolved = platform::resolve_host(host);
    if (!resolved || resolved->empty())
        return std::nullopt;
    if (const auto* v4 = std::get_if<text::Ipv4Bytes>(&resolved->front()))
        return *v4;
    return std::nullopt;
}

} // namespace

bool probe_tunnel(const ProbeTarget& target, std::chrono::milliseconds timeout) {
    auto address = first_address(target.address);
    if (!address)
        return false;
    auto socket = platform::connect_tcp(*address, target.port, timeout);
    if (!socket)
        return false;
    (void)platform::set_send_receive_timeouts(*socket, timeout);
    std::string request =
        "HEAD / HTTP/1.1\r\nHost: " + text::ipv4_text(*address) + "\r\nConnection: close\r\n\r\n";
    if (!socket->send_all(request))
        return false;
    char byte = 0;
    return socket->recv(&byte, 1, timeout).status == platform::RecvStatus::Data;
}

std::chrono::milliseconds interval_after_success(std::chrono::milliseconds interval,
                                                 std::chrono::milliseconds cap) {
    return std::min(interval, cap) * 2;
}

void tunnel_probe(std::shared_ptr<VpnController> controller, StopFlag stop, std::uint64_t token,
                  TunnelProbeSettings settings) {
    if (!settings.wait(*stop, settings.first_wait))
        return;
    int failures = 0;
    std::chrono::milliseconds interval = settings.first_interval;
    for (;;) {
        if (stop->load() || !controller->session_current(token))
            return;
        if (probe_tunnel(settings.target, settings.timeout)) {
            failures = 0;
            interval = interval_after_success(interval, settings.interval_cap);
        } else {
            ++failures;
            log_line(LogTag::Vpn, fill_text(texts::probe_failed, {std::to_string(failures)}));
            interval = settings.first_interval;
            if (failures >= 2) {
                log_line(LogTag::Vpn, texts::tunnel_dead);
                controller->status_sink().on_need_restart();
                return;
            }
        }
        if (!settings.wait(*stop, interval))
            return;
    }
}

} // namespace kest::vpn
