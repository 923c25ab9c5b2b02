#include "vpn/host/connection_reset.h"

#include <string>
#include <unordered_set>

#include "text/ascii.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "vpn/host/folder_prefix.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

bool listed_ignoring_ascii_case(const config::PlanList& list, std::string_view text) {
    for (const auto& entry : list)
        if (text::equals_ignoring_ascii_case(entry, text))
            return true;
    return false;
}

} // namespace

RuleAppMatcher::RuleAppMatcher(const config::RoutePlan& plan, char sep)
    : process_names_(plan.process_names), exe_paths_(plan.exe_paths) {
    for (const auto& folder : plan.folders)
        folder_prefixes_.push_back(folder_prefix(folder, sep));
}

bool RuleAppMatcher::matches(std::string_view path) const {
    if (listed_ignoring_ascii_case(process_names_, text::file_name_of(path)))
        return true;
    if (listed_ignoring_ascii_case(exe_paths_, path))
        return true;
    if (folder_prefixes_.empty())
        return false;
    std::string lowered = text::to_lower(path);
    for (const auto& prefix : folder_prefixes_)
        if (lowered.starts_with(prefix))
            return true;
    return false;
}

void reset_rule_app_connections(const config::RoutePlan& plan) {
    (void)reset_rule_app_connections(plan, ConnectionResetCalls{});
}

std::size_t reset_rule_app_connections(const config::RoutePlan& plan,
                                       const ConnectionResetCalls& calls) {
    if (plan.process_names.empty() && plan.exe_paths.empty() && plan.folders.empty())
        return 0;
    std::vector<platform::SnapshotProcess> processes = calls.processes.snapshot();
    if (processes.empty())
        return 0;

    RuleAppMatcher matcher(plan, calls.processes.separator);
    std::unordered_set<std::uint32_t> pids;
    platform::ImagePathBuffer buffer;
    for (const auto& process : processes) {
        if (process.pid == calls.processes.self_pid)
            continue;
        // Only the full path counts: a process that cannot be queried is never matched, even
        // when the snapshot's own name field would fit.
        std::string path = calls.processes.image_path(process.pid, buffer);
        if (!path.empty() && matcher.matches(path))
            pids.insert(process.pid);
    }
    if (pids.empty())
        return 0;

    auto table = platform::read_tcp_table(calls.query_table);
    if (!table)
        return 0;
    std::size_t cut = 0;
    for (platform::TcpRow row : platform::decode_tcp_table(*table)) {
        if (!pids.contains(row.owning_pid))
            continue;
        row.state = platform::kTcpStateDeleteTcb;
        // Without the administrator's right every call fails; that is not counted.
        if (calls.set_entry(row))
            ++cut;
    }
    if (cut > 0)
        calls.log(fill_text(texts::connections_reset, {std::to_string(cut)}));
    return cut;
}

} // namespace kest::vpn
