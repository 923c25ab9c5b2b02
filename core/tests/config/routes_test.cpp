// Single rules and values of the configuration, each checked over a table of inputs.
#include "config/routes.h"

#include <gtest/gtest.h>

#include "config/engine_fixture.h"
#include "config/paths.h"

namespace kest::config::testing {
namespace {

// The rules that reject UDP, in order: guard copies, the port rule and the guard rule.
std::vector<Json> udp_rejections(const Json& document) {
    std::vector<Json> out;
    for (const Json& rule : document["route"]["rules"])
        if (rule.value("network", "") == "udp" && !rule.contains("port"))
            out.push_back(rule);
    return out;
}

using EngineRules = EngineConfigTest;

TEST_F(EngineRules, LogLevelIsTakenOnlyWhenItIsAnExactLevelName) {
    struct Case {
        std::optional<std::string> value;
        const char* level;
    };
    const Case cases[] = {
        {"trace", "trace"}, {"debug", "debug"}, {"info", "info"},   {"warn", "warn"},
        {"error", "error"}, {"WARN", "error"},  {"warn ", "error"}, {" info", "error"},
        {"Debug", "error"}, {"", "error"},      {"fatal", "error"}, {std::nullopt, "error"},
    };
    for (const Case& c : cases) {
        engine_log_ = c.value;
        Json document = build(Json::object(), RoutePlan{});
        EXPECT_EQ(document["log"], (Json{{"level", c.level}})) << c.value.value_or("(unset)");
    }
}

TEST_F(EngineRules, ServerTextDecidesTheDirectRuleForTheProxyItself) {
    struct Case {
        Json server; // null: no "server" key
        Json rule;   // null: no rule for the server, the own-domains rule moves up
    };
    const Case cases[] = {
        {"203.0.113.7", {{"ip_cidr", {"203.0.113.7"}}, {"outbound", "direct"}}},
        {"2001:db8::1", {{"ip_cidr", {"2001:db8::1"}}, {"outbound", "direct"}}},
        {"::ffff:192.0.2.1", {{"ip_cidr", {"::ffff:192.0.2.1"}}, {"outbound", "direct"}}},
        {"proxy.example.com", {{"domain", {"proxy.example.com"}}, {"outbound", "direct"}}},
        {"01.2.3.4", {{"domain", {"01.2.3.4"}}, {"outbound", "direct"}}},
        {"[2001:db8::1]", {{"domain", {"[2001:db8::1]"}}, {"outbound", "direct"}}},
        {"1.2.3.4:443", {{"domain", {"1.2.3.4:443"}}, {"outbound", "direct"}}},
        {"", nullptr},
        {nullptr, nullptr},
        {1234, nullptr},
    };
    for (const Case& c : cases) {
        Json outbound = {{"type", "vless"}, {"tag", "proxy"}};
        if (!c.server.is_null())
            outbound["server"] = c.server;
        Json document = build(outbound, RoutePlan{});
        const Json& rules = document["route"]["rules"];
        if (c.rule.is_null()) {
            EXPECT_EQ(rules[1]["domain_suffix"][0], "kestconnect.com") << c.server;
            EXPECT_EQ(rules.size(), 12u) << c.server;
        } else {
            EXPECT_EQ(rules[1], c.rule) << c.server;
            EXPECT_EQ(rules.size(), 13u) << c.server;
        }
    }
}

TEST_F(EngineRules, QuicGuardFollowsWhatTheOutboundCanCarry) {
    const Json quic = {{"action", "reject"}, {"network", "udp"}, {"protocol", {"quic"}}};
    const Json all_udp = {{"action", "reject"}, {"network", "udp"}};
    struct Case {
        const char* outbound;
        bool quic;
    };
    const Case cases[] = {
        {R"({"type": "hysteria2"})", true},
        {R"({"type": "vless"})", true},
        {R"({"type": "naive"})", false},
        {R"({"type": "naive", "udp_over_tcp": {"enabled": true, "version": 2}})", true},
        {R"({"type": "naive", "udp_over_tcp": {"enabled": false}})", false},
        {R"({"type": "naive", "udp_over_tcp": {"enabled": "true"}})", false},
        {R"({"type": "naive", "udp_over_tcp": {"version": 2}})", false},
        {R"({"type": "naive", "udp_over_tcp": true})", false},
        {R"({"type": "Naive"})", true},
        {R"({"type": 7})", false},
        {R"({})", false},
    };
    RoutePlan selected;
    selected.selected_mode = true;
    selected.domains.append("example.com");
    for (const Case& c : cases) {
        Json outbound = Json::parse(c.outbound);
        auto everywhere = udp_rejections(build(outbound, RoutePlan{}));
        ASSERT_EQ(everywhere.size(), 1u) << c.outbound;
        EXPECT_EQ(everywhere[0], c.quic ? quic : all_udp) << c.outbound;

        Json guard_copy = c.quic ? quic : all_udp;
        guard_copy["domain"] = {"example.com"};
        guard_copy["domain_suffix"] = Json::array();
        EXPECT_EQ(udp_rejections(build(outbound, selected)), std::vector<Json>{guard_copy})
            << c.outbound;
    }
}

TEST_F(EngineRules, ApplicationRulesListCaseFormsPathsAndPatterns) {
    RoutePlan plan;
    plan.process_names.append("Ä.exe");
    plan.process_names.append("ä.exe");
    plan.process_names.append("a+b(1).exe");
    plan.folders.append("C:\\Tools\\");
    plan.folders.append("D:/Games//\\");
    plan.folders.append("\\");
    plan.exe_paths.append("C:\\Tools\\Ä.exe");
    plan.exe_paths.append("c:\\tools\\ä.exe");

    Json document = build(Json::object(), plan);
    const Json& rules = document["route"]["rules"];
    ASSERT_EQ(rules.size(), 15u);
    EXPECT_EQ(rules[9],
              (Json{{"process_name", {"Ä.exe", "ä.exe", "a+b(1).exe"}}, {"outbound", "direct"}}));
    EXPECT_EQ(rules[10], (Json{{"process_path", {"C:\\Tools\\Ä.exe", "c:\\tools\\ä.exe"}},
                               {"outbound", "direct"}}));
    EXPECT_EQ(rules[11], (Json{{"process_path_regex",
                                {
                                    "(?i)^C:\\\\Tools\\\\.*",
                                    "(?i)^D:/Games\\\\.*",
                                    "(?i)^\\\\.*",
                                    "(?i)(?:^|\\\\)Ä\\.exe$",
                                    "(?i)(?:^|\\\\)ä\\.exe$",
                                    "(?i)(?:^|\\\\)a\\+b\\(1\\)\\.exe$",
                                }},
                               {"outbound", "direct"}}));
}

TEST_F(EngineRules, AddressRangesAreSortedBytewiseAndRuPresetKeepsRepeats) {
    RoutePlan plan;
    for (const char* range : {"10.0.0.0/8", "1.2.3.4/32", "10.0.0.0/16", "1.2.3.4/3", "::/0"})
        plan.ip_cidrs.append(range);
    plan.domains.append("vk.com");
    plan.ru_preset = true;

    Json document = build(Json::object(), plan);
    const Json& rules = document["route"]["rules"];
    EXPECT_EQ(rules[9]["domain"], (Json{"vk.com", "yandex.ru", "vk.com", "mail.ru", "ozon.ru"}));
    EXPECT_EQ(rules[10],
              (Json{{"ip_cidr", {"1.2.3.4/3", "1.2.3.4/32", "10.0.0.0/16", "10.0.0.0/8", "::/0"}},
                    {"outbound", "direct"}}));
    EXPECT_FALSE(document["route"].contains("rule_set")) << "no rule-set file exists";
}

TEST_F(EngineRules, ExistingRuleSetFilesGetDefinitionsDnsRulesAndGuardedRoutes) {
    for (const char* file : {"geosite-google.srs", "geoip-ru.srs", "geosite-category-ru.srs"})
        add_rule_set(file);
    RoutePlan plan;
    plan.selected_mode = true;
    plan.ru_preset = true;
    plan.geosite_names.append("youtube"); // no file
    plan.geosite_names.append("google");

    Json document = build(Json{{"type", "vless"}}, plan);
    const char sep = platform::path_separator();
    auto definition = [&](const char* file, const char* tag) {
        return Json{{"format", "binary"},
                    {"path", text::join_path(in_data("geo"), file, sep)},
                    {"tag", tag},
                    {"type", "local"}};
    };
    EXPECT_EQ(document["route"]["rule_set"],
              (Json{definition("geosite-category-ru.srs", "geosite-ru"),
                    definition("geoip-ru.srs", "geoip-ru"),
                    definition("geosite-google.srs", "geosite-google")}));

    // The address rule set of the preset has no DNS rule; the two site rule sets resolve to
    // fake addresses like the user's own sites.
    const Json& dns_rules = document["dns"]["rules"];
    ASSERT_EQ(dns_rules.size(), 6u);
    EXPECT_EQ(dns_rules[4],
              (Json{{"rewrite_ttl", 1}, {"rule_set", {"geosite-ru"}}, {"server", "dns-fake"}}));
    EXPECT_EQ(dns_rules[5],
              (Json{{"rewrite_ttl", 1}, {"rule_set", {"geosite-google"}}, {"server", "dns-fake"}}));

    std::vector<Json> rule_set_rules;
    for (const Json& rule : document["route"]["rules"])
        if (rule.contains("rule_set"))
            rule_set_rules.push_back(rule);
    const Json guard = {{"action", "reject"}, {"network", "udp"}, {"protocol", {"quic"}}};
    auto guarded = [&](Json rule) {
        Json copy = guard;
        copy.update(rule);
        rule["outbound"] = "proxy";
        return std::vector<Json>{copy, rule};
    };
    std::vector<Json> want;
    for (const Json& rule :
         {Json{{"rule_set", {"geosite-ru"}}}, Json{{"no_domain", true}, {"rule_set", {"geoip-ru"}}},
          Json{{"rule_set", {"geosite-google"}}}})
        for (Json& part : guarded(rule))
            want.push_back(std::move(part));
    EXPECT_EQ(rule_set_rules, want);
}

TEST(RegexEscape, EscapesExactlyThePatternCharacters) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"a+b(1).exe", "a\\+b\\(1\\)\\.exe"},
        {"C:\\A-B", "C:\\\\A-B"},
        {"$()*+.?[\\]^{|}", "\\$\\(\\)\\*\\+\\.\\?\\[\\\\\\]\\^\\{\\|\\}"},
        {"-#: /é日", "-#: /é日"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(regex_escape(c.in), c.out) << c.in;
}

TEST(EnginePaths, CacheFileLiesBesideTheConfiguration) {
    struct Case {
        const char* config;
        char sep;
        const char* cache;
    };
    const Case cases[] = {
        {"C:\\Users\\u\\AppData\\Kest Connect\\vpn_config.json", '\\',
         "C:\\Users\\u\\AppData\\Kest Connect\\vpn_cache.db"},
        {"C:/data/vpn_config.json", '\\', "C:/data\\vpn_cache.db"},
        {"C:\\vpn_config.json", '\\', "C:\\vpn_cache.db"},
        {"C:vpn_config.json", '\\', "C:\\vpn_cache.db"},
        {"dir\\\\vpn_config.json", '\\', "dir\\vpn_cache.db"},
        {"vpn_config.json", '\\', "vpn_cache.db"},
        {"", '\\', ".\\vpn_cache.db"},
        {"C:\\", '\\', ".\\vpn_cache.db"},
        {"/home/u/.config/Kest Connect/vpn_config.json", '/',
         "/home/u/.config/Kest Connect/vpn_cache.db"},
        {"/vpn_config.json", '/', "/vpn_cache.db"},
        {"a\\b", '/', "vpn_cache.db"},
        {"vpn_config.json", '/', "vpn_cache.db"},
        {"/", '/', "./vpn_cache.db"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cache_file_path(c.config, c.sep), c.cache) << c.config;
}

TEST(EnginePaths, IllFormedPathBytesBecomeReplacementCharacters) {
    EXPECT_EQ(path_text("C:\\Kest Connect\\geo"), "C:\\Kest Connect\\geo");
    EXPECT_EQ(path_text("/home/\xff\xfe/x"), "/home/\uFFFD\uFFFD/x");
    EXPECT_EQ(rule_set_path("C:\\d\\", "geoip-ru.srs", '\\'), "C:\\d\\geo\\geoip-ru.srs");
}

} // namespace
} // namespace kest::config::testing
