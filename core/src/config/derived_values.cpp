#include "config/derived_values.h"

#include "config/json_lists.h"
#include "config/values.h"

namespace kest::config {

EngineValues derive_engine_values(const Json& outbound, const RoutePlan& plan) {
    EngineValues values;
    values.user_outbound = plan.selected_mode ? "proxy" : "direct";
    values.final_outbound = plan.selected_mode ? "direct" : "proxy";
    for (const std::string& domain : plan.domains)
        values.domains.push_back(domain);
    for (const std::string& suffix : plan.domain_suffixes)
        values.suffixes.push_back(suffix);
    // Entries the plan already holds are kept twice: the engine does not mind, and the plan's
    // own order stays first.
    if (plan.ru_preset) {
        for (std::string_view domain : kRuPresetDomains) {
            values.domains.push_back(std::string(domain));
            values.suffixes.push_back(dotted(domain));
        }
        for (std::string_view suffix : kRuPresetSuffixes)
            values.suffixes.push_back(std::string(suffix));
    }
    values.domain_rules_present = !values.domains.empty() || !values.suffixes.empty();
    if (outbound.is_object()) {
        auto server = outbound.find("server");
        if (server != outbound.end() && server->is_string())
            values.server_text = server->get<std::string>();
    }
    return values;
}

} // namespace kest::config
