#pragma once
// Cutting the IPv4 TCP connections of the applications a routing plan names, so that they
// reconnect under the new rules.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/route_plan.h"
#include "platform/tcp_table.h"
#include "vpn/host/process_calls.h"

namespace kest::vpn {

// Whether an executable path belongs to an application of the plan, by the plan's first three
// lists, in this order: file name (ASCII case ignored), full path (ASCII case ignored), folder
// prefix (Unicode-lowered, ending with sep, so a folder Tool does not cover Toolbox).
class RuleAppMatcher {
public:
    RuleAppMatcher(const config::RoutePlan& plan, char sep);
    bool matches(std::string_view path) const;

private:
    config::PlanList process_names_;
    config::PlanList exe_paths_;
    std::vector<std::string> folder_prefixes_;
};

struct ConnectionResetCalls {
    ProcessCalls processes;
    platform::TcpTableQuery query_table = platform::query_ipv4_tcp_table;
    std::function<bool(const platform::TcpRow&)> set_entry = platform::set_tcp_entry;
    LogSink log = vpn_log;
};

// Never fails: a call that fails ends the work quietly. Only one log line, and only when a
// connection was cut. Keeps no state; callers may run it at the same time.
void reset_rule_app_connections(const config::RoutePlan& plan);

// The same over the given calls; returns how many connections were cut.
std::size_t reset_rule_app_connections(const config::RoutePlan& plan,
                                       const ConnectionResetCalls& calls);

} // namespace kest::vpn
