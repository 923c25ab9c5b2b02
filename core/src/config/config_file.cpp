#include "config/config_file.h"

#include <array>

#include "config/derived_values.h"
#include "config/json_lists.h"
#include "config/paths.h"
#include "config/routes.h"
#include "config/values.h"
#include "platform/env.h"
#include "util/write_atomic.h"

namespace kest::config {
namespace {

// Only the engine's own level names pass; anything else would make the engine refuse the file.
std::string log_level(const std::optional<std::string>& value) {
    static constexpr std::array<std::string_view, 5> kLevels = {"trace", "debug", "info", "warn",
                                                                "error"};
    for (std::string_view level : kLevels)
        if (value && *value == level)
            return std::string(level);
    return "error";
}

// In mode selected, the user's names resolve to fake addresses so the engine can tell their
// connections apart; in mode everywhere they bypass the tunnel and need real answers.
Json with_dns_choice(Json rule, bool selected_mode) {
    if (selected_mode) {
        rule["server"] = "dns-fake";
        rule["rewrite_ttl"] = 1;
    } else {
        rule["server"] = "dns-local";
    }
    return rule;
}

// Takes the effective domain lists over from values: the route block has its copies already.
Json dns_block(EngineValues& values, const RouteBlock& route, const RoutePlan& plan,
               std::string_view dns_local) {
    Json local = {{"tag", "dns-local"}, {"type", "local"}};
    if (!dns_local.empty())
        local = {{"tag", "dns-local"}, {"type", "udp"}, {"server", std::string(dns_local)}};
    Json servers = Json::array({
        {{"tag", "dns-remote"},
         {"type", "https"},
         {"server", std::string(kPublicResolverAddress)},
         {"detour", "proxy"}},
        std::move(local),
        {{"tag", "dns-fake"}, {"type", "fakeip"}, {"inet4_range", std::string(kFakeIpRange)}},
    });

    const bool selected = plan.selected_mode;
    Json rules = Json::array();
    rules.push_back({{"query_type", Json::array({"HTTPS", "SVCB"})}, {"action", "reject"}});
    rules.push_back({{"domain", string_array(kLocalhostNames)},
                     {"domain_suffix", string_array(kLocalDomainSuffixes)},
                     {"server", "dns-local"}});
    rules.push_back({{"domain_suffix", string_array(kOwnServiceDomains)}, {"server", "dns-local"}});
    if (values.domain_rules_present)
        rules.push_back(with_dns_choice(
            {{"domain", std::move(values.domains)}, {"domain_suffix", std::move(values.suffixes)}},
            selected));
    if (plan.ru_preset && route.ru_site_rule_set)
        rules.push_back(with_dns_choice({{"rule_set", Json::array({"geosite-ru"})}}, selected));
    if (!route.category_tags.empty())
        rules.push_back(
            with_dns_choice({{"rule_set", string_array(route.category_tags)}}, selected));
    if (!selected)
        rules.push_back({{"query_type", Json::array({"A", "AAAA"})},
                         {"server", "dns-fake"},
                         {"rewrite_ttl", 1}});

    return {{"servers", std::move(servers)},
            {"rules", std::move(rules)},
            {"final", selected ? "dns-local" : "dns-remote"},
            {"strategy", "ipv4_only"},
            {"independent_cache", true}};
}

Json tun_inbound() {
    return {{"type", "tun"},
            {"tag", "tun-in"},
            {"interface_name", std::string(kTunInterfaceName)},
            {"address", Json::array({std::string(kTunAddress)})},
            {"mtu", kTunMtu},
            {"auto_route", true},
            {"strict_route", true},
            {"stack", "mixed"}};
}

// Room for the whole text up front: a large plan makes a document of some hundred kilobytes, and
// growing a buffer of that size step by step takes a good part of the whole build. Each plan
// entry is written at most four times (DNS rule, route rule, its UDP guard, a second form).
std::size_t text_size_hint(const RoutePlan& plan) {
    std::size_t bytes = 8192;
    for (const PlanList* list : {&plan.process_names, &plan.exe_paths, &plan.folders, &plan.domains,
                                 &plan.domain_suffixes, &plan.ip_cidrs, &plan.geosite_names})
        for (const std::string& item : *list)
            bytes += 4 * (item.size() + 8);
    return bytes;
}

Json make_engine_config(const Json& outbound, const RoutePlan& plan, const ConfigInputs& inputs) {
    const char sep = platform::path_separator();
    EngineValues values = derive_engine_values(outbound, plan);
    RouteBlock route = build_route_block(values, plan, outbound, inputs.data_directory, sep);

    Json document;
    document["log"] = {{"level", log_level(inputs.engine_log)}};
    document["dns"] = dns_block(values, route, plan, inputs.dns_local);
    document["inbounds"] = Json::array({tun_inbound()});
    document["outbounds"] = Json::array({outbound, {{"type", "direct"}, {"tag", "direct"}}});
    document["experimental"] = {
        {"clash_api",
         {{"external_controller", "127.0.0.1:" + std::to_string(inputs.port)},
          {"secret", inputs.secret}}},
        {"cache_file",
         {{"enabled", true},
          {"path", path_text(cache_file_path(inputs.config_path, sep))},
          {"store_fakeip", true}}}};
    document["route"] = std::move(route.route);
    return document;
}

} // namespace

Expected<std::string> render_engine_config(const Json& outbound, const RoutePlan& plan,
                                           const ConfigInputs& inputs) {
    std::string text;
    text.reserve(text_size_hint(plan));
    if (!json::append_compact(text, make_engine_config(outbound, plan, inputs)))
        return unexpected(std::string("invalid UTF-8 in a JSON string"));
    return text;
}

Expected<std::string> build_engine_config(const Json& outbound, const RoutePlan& plan,
                                          const ConfigInputs& inputs) {
    auto text = render_engine_config(outbound, plan, inputs);
    if (!text)
        return text;
    if (auto written = write_atomic(inputs.config_path, *text); !written)
        return unexpected(written.error());
    return text;
}

} // namespace kest::config
