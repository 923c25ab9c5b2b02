#include "config/routes.h"

#include <algorithm>
#include <unordered_set>

#include "config/json_lists.h"
#include "config/paths.h"
#include "config/values.h"
#include "platform/fs.h"
#include "text/ip_address.h"
#include "text/lowercase.h"

namespace kest::config {
namespace {

// Each name as given, then its lowercase form when that differs: the engine compares process
// names case-sensitively, while Windows reports them in whatever case the file has.
Json process_name_list(const PlanList& names) {
    Json out = Json::array();
    std::unordered_set<std::string> seen;
    auto add = [&](std::string candidate) {
        if (seen.insert(candidate).second)
            out.push_back(std::move(candidate));
    };
    for (const std::string& name : names) {
        add(name);
        add(text::to_lower(name));
    }
    return out;
}

Json pattern_list(const RoutePlan& plan) {
    Json out = Json::array();
    for (std::string_view folder : plan.folders) {
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
            folder.remove_suffix(1);
        out.push_back("(?i)^" + regex_escape(std::string(folder) + "\\") + ".*");
    }
    const std::string separator = regex_escape("\\");
    for (const std::string& name : plan.process_names)
        out.push_back("(?i)(?:^|" + separator + ")" + regex_escape(name) + "$");
    return out;
}

Json sorted_ranges(const PlanList& ranges) {
    std::vector<std::string> sorted = ranges.items();
    std::stable_sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return string_array(sorted);
}

// A naive proxy carries UDP only through its UDP-over-TCP mode; every other kind carries QUIC.
bool can_carry_quic(const Json& outbound) {
    if (!outbound.is_object())
        return false;
    auto type = outbound.find("type");
    if (type == outbound.end() || !type->is_string())
        return false;
    if (type->get_ref<const std::string&>() != "naive")
        return true;
    auto uot = outbound.find("udp_over_tcp");
    if (uot == outbound.end() || !uot->is_object())
        return false;
    auto enabled = uot->find("enabled");
    return enabled != uot->end() && enabled->is_boolean() && enabled->get<bool>();
}

// QUIC to the proxy is refused so that browsers fall back to TCP, which every proxy carries;
// where UDP cannot be carried at all, all of it is refused rather than leaked.
Json guard_rules(Json rules, bool quic, bool selected_mode) {
    auto refuse_udp = [quic](Json rule) {
        rule.erase("outbound");
        rule["network"] = "udp";
        if (quic)
            rule["protocol"] = Json::array({"quic"});
        rule["action"] = "reject";
        return rule;
    };
    Json out = Json::array();
    for (Json& rule : rules) {
        auto target = rule.is_object() ? rule.find("outbound") : rule.end();
        if (rule.is_object() && target != rule.end() && *target == "proxy")
            out.push_back(refuse_udp(rule));
        out.push_back(std::move(rule));
    }
    if (!selected_mode)
        out.push_back(refuse_udp(Json::object()));
    return out;
}

struct RuleSets {
    Json definitions = Json::array();
    bool ru_site = false;
    bool ru_ip = false;
    std::vector<std::string> category_tags;
};

RuleSets find_rule_sets(const RoutePlan& plan, std::string_view data_directory, char sep) {
    RuleSets found;
    auto probe = [&](std::string_view file_name, std::string tag) {
        std::string path = rule_set_path(data_directory, file_name, sep);
        if (!platform::file_exists(path))
            return false;
        found.definitions.push_back({{"type", "local"},
                                     {"tag", std::move(tag)},
                                     {"format", "binary"},
                                     {"path", path_text(path)}});
        return true;
    };
    if (plan.ru_preset) {
        found.ru_site = probe("geosite-category-ru.srs", "geosite-ru");
        found.ru_ip = probe("geoip-ru.srs", "geoip-ru");
    }
    for (const std::string& name : plan.geosite_names) {
        std::string tag = "geosite-" + name;
        if (probe(tag + ".srs", tag))
            found.category_tags.push_back(std::move(tag));
    }
    return found;
}

} // namespace

std::string regex_escape(std::string_view text) {
    static constexpr std::string_view kSpecial = "$()*+.?[\\]^{|}";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (kSpecial.find(c) != std::string_view::npos)
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

RouteBlock build_route_block(const EngineValues& values, const RoutePlan& plan,
                             const Json& outbound, std::string_view data_directory, char sep) {
    RuleSets sets = find_rule_sets(plan, data_directory, sep);
    const std::string user(values.user_outbound);

    Json rules = Json::array();
    rules.push_back({{"action", "sniff"}});
    if (!values.server_text.empty()) {
        const char* key = text::is_ip_text(values.server_text) ? "ip_cidr" : "domain";
        rules.push_back({{key, Json::array({values.server_text})}, {"outbound", "direct"}});
    }
    rules.push_back({{"domain_suffix", string_array(kOwnServiceDomains)}, {"outbound", "direct"}});
    rules.push_back({{"port", Json::array({53})}, {"action", "hijack-dns"}});
    rules.push_back({{"protocol", "dns"}, {"action", "hijack-dns"}});
    rules.push_back({{"ip_cidr", Json::array({kFakeIpRange})}, {"action", "reject"}});
    rules.push_back({{"domain", string_array(kLocalhostNames)},
                     {"domain_suffix", string_array(kLocalDomainSuffixes)},
                     {"outbound", "direct"}});
    rules.push_back({{"ip_is_private", true}, {"outbound", "direct"}});
    rules.push_back({{"ip_version", 6}, {"action", "reject"}});
    rules.push_back({{"domain", string_array(kDohProviderHosts)},
                     {"domain_suffix", dotted_array(kDohProviderHosts)},
                     {"action", "reject"}});
    if (!plan.process_names.empty())
        rules.push_back(
            {{"process_name", process_name_list(plan.process_names)}, {"outbound", user}});
    if (!plan.exe_paths.empty())
        rules.push_back({{"process_path", string_array(plan.exe_paths)}, {"outbound", user}});
    if (Json patterns = pattern_list(plan); !patterns.empty())
        rules.push_back({{"process_path_regex", std::move(patterns)}, {"outbound", user}});
    if (values.domain_rules_present)
        rules.push_back(
            {{"domain", values.domains}, {"domain_suffix", values.suffixes}, {"outbound", user}});
    if (!plan.ip_cidrs.empty())
        rules.push_back({{"ip_cidr", sorted_ranges(plan.ip_cidrs)}, {"outbound", user}});
    if (sets.ru_site)
        rules.push_back({{"rule_set", Json::array({"geosite-ru"})}, {"outbound", user}});
    if (sets.ru_ip)
        rules.push_back(
            {{"rule_set", Json::array({"geoip-ru"})}, {"no_domain", true}, {"outbound", user}});
    if (!sets.category_tags.empty())
        rules.push_back({{"rule_set", string_array(sets.category_tags)}, {"outbound", user}});
    rules.push_back({{"network", "udp"},
                     {"port", Json::array({135, 137, 138, 139, 5353})},
                     {"action", "reject"}});
    rules.push_back({{"ip_cidr", Json::array({"224.0.0.0/3", "ff00::/8"})}, {"action", "reject"}});

    RouteBlock block;
    block.route = {
        {"auto_detect_interface", true},
        {"default_domain_resolver", "dns-local"},
        {"final", std::string(values.final_outbound)},
        {"rules", guard_rules(std::move(rules), can_carry_quic(outbound), plan.selected_mode)}};
    if (!sets.definitions.empty())
        block.route["rule_set"] = std::move(sets.definitions);
    block.ru_site_rule_set = sets.ru_site;
    block.category_tags = std::move(sets.category_tags);
    return block;
}

} // namespace kest::config
