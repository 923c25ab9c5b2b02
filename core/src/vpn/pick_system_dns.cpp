#include "vpn/pick_system_dns.h"

#include <vector>

#include "base/detached_thread.h"

namespace kest::vpn {

std::string pick_from_candidates(const UsableDnsList& candidates, const DnsPickSettings& settings) {
    if (candidates.empty())
        return "";
    auto deadline = std::chrono::steady_clock::now() + settings.deadline;
    std::vector<Channel<bool>::Receiver> answers;
    answers.reserve(candidates.size());
    for (const text::Ipv4Bytes& candidate : candidates) {
        auto [sender, receiver] = Channel<bool>::make();
        // A probe the system refuses a thread for drops its sender, which reads as "no
        // answer" below: the walk goes on with the next candidate.
        (void)start_detached(probe_dns_server, candidate, std::move(sender), settings.port);
        answers.push_back(std::move(receiver));
    }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        auto answer = answers[i].recv_until(deadline);
        if (answer) {
            if (*answer)
                return text::ipv4_text(candidates[i]);
            continue;
        }
        if (!answers[i].closed())
            return "";
    }
    return "";
}

std::string pick_system_dns(const DnsPickSettings& settings,
                            const std::string& resolver_config_path) {
    return pick_from_candidates(usable_ipv4_dns(system_dns_servers(resolver_config_path)),
                                settings);
}

} // namespace kest::vpn
