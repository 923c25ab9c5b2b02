#include "vpn/dns/pick_system_dns.h"

#include <vector>

#include "base/detached_thread.h"

namespace kest::vpn {

std::optional<std::size_t> first_answering(const std::vector<DnsProbeTarget>& candidates,
                                           std::chrono::milliseconds deadline_after) {
    if (candidates.empty())
        return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + deadline_after;
    std::vector<Channel<bool>::Receiver> answers;
    answers.reserve(candidates.size());
    for (const DnsProbeTarget& candidate : candidates) {
        auto [sender, receiver] = Channel<bool>::make();
        // A probe the system refuses a thread for drops its sender, which reads as "no
        // answer" below: the walk goes on with the next candidate.
        (void)start_detached(probe_dns_server, candidate.address, std::move(sender),
                             candidate.port);
        answers.push_back(std::move(receiver));
    }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        auto answer = answers[i].recv_until(deadline);
        if (answer) {
            if (*answer)
                return i;
            continue;
        }
        if (!answers[i].closed())
            return std::nullopt;
    }
    return std::nullopt;
}

std::string pick_system_dns(const DnsPickSettings& settings,
                            const std::string& resolver_config_path) {
    std::vector<DnsProbeTarget> candidates;
    for (const text::Ipv4Bytes& address : usable_ipv4_dns(system_dns_servers(resolver_config_path)))
        candidates.push_back({address, settings.port});
    auto chosen = first_answering(candidates, settings.deadline);
    return chosen ? text::ipv4_text(candidates[*chosen].address) : std::string();
}

} // namespace kest::vpn
