#pragma once
// Values derived once per configuration build from the plan and the outbound, shared by the DNS
// block and the route block so both read the same decisions.
#include <string>
#include <string_view>

#include "config/route_plan.h"
#include "json/json.h"

namespace kest::config {

struct EngineValues {
    std::string_view user_outbound;  // where the user's applications and sites go
    std::string_view final_outbound; // where everything else goes
    // JSON arrays of texts, built once: both the DNS and the route block copy them.
    Json domains = Json::array();  // the plan's domains plus the RU preset
    Json suffixes = Json::array(); // the plan's suffixes plus the RU preset
    bool domain_rules_present = false;
    std::string server_text; // the outbound's "server" when it is a string, else ""
};

EngineValues derive_engine_values(const Json& outbound, const RoutePlan& plan);

} // namespace kest::config
