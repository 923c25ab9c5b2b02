#pragma once
// The "route" block of the engine configuration: the routing rules in their fixed order, the
// rule-set files that exist, and the guard that keeps QUIC away from a proxy that cannot carry it.
#include <string>
#include <string_view>
#include <vector>

#include "config/derived_values.h"
#include "config/route_plan.h"
#include "json/json.h"

namespace kest::config {

struct RouteBlock {
    Json route;
    // Which rule-set files were found, for the DNS rules that refer to the same files.
    bool ru_site_rule_set = false;
    std::vector<std::string> category_tags; // in plan order
};

// Tests each rule-set file once, below data_directory (joined with sep).
RouteBlock build_route_block(const EngineValues& values, const RoutePlan& plan,
                             const Json& outbound, std::string_view data_directory, char sep);

// Puts "\" before each of $ ( ) * + . ? [ \ ] ^ { | } so the text matches itself in a pattern.
std::string regex_escape(std::string_view text);

} // namespace kest::config
