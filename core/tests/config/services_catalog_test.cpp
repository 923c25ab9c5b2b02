#include "config/services_catalog.h"

#include <set>

#include <gtest/gtest.h>

#include "text/lowercase.h"

namespace kest::config {
namespace {

Service service(std::string key, std::vector<std::string> aliases = {}) {
    Service s;
    s.key = std::move(key);
    s.aliases = std::move(aliases);
    return s;
}

TEST(ServicesCatalog, NamesAndAliasesFindTheirService) {
    struct Case {
        const char* name;
        const char* key; // nullptr: no service
    };
    const Case cases[] = {
        {"Telegram", "telegram"},
        {"  TG \t", "telegram"},
        {"ТЕЛЕГРАМ", "telegram"},
        {"\u3000ютуб\u00a0", "youtube"},
        {"18+", "adult"},
        {"для взрослых", "adult"},
        {"18 плюс", "adult"},
        {"chatgpt", "openai"},
        {"GPT", "openai"},
        {"twitter", "x"},
        {"X", "x"},
        {"Epic", "epicgames"},
        {"no such service", nullptr},
        {"для  взрослых", nullptr},
        {"telegramm", nullptr},
    };
    for (const Case& c : cases) {
        const Service* found = find_service(c.name);
        if (c.key == nullptr) {
            EXPECT_EQ(found, nullptr) << c.name;
        } else {
            ASSERT_NE(found, nullptr) << c.name;
            EXPECT_EQ(found->key, c.key) << c.name;
        }
    }
    EXPECT_EQ(find_service("telegram"), find_service("tg")) << "one shared record";
}

TEST(ServicesCatalog, DomainsAndBlankNamesNeverReachTheCatalogue) {
    int builds = 0;
    std::vector<Service> catalog = {service("telegram")};
    auto provide = [&]() -> const std::vector<Service>& {
        ++builds;
        return catalog;
    };
    for (const char* name : {"t.me", "telegram.org", ".", "telegram.", "", "   ", "\t\u2003"})
        EXPECT_EQ(find_service_in(name, provide), nullptr) << name;
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(find_service_in("telegram", provide), &catalog[0]);
    EXPECT_EQ(builds, 1);
}

TEST(ServicesCatalog, StoredTextsFoldOnlyAsciiAndTheFirstMatchWins) {
    std::vector<Service> catalog = {
        service("Über", {"Shared"}),
        service("second", {"shared", "ärger"}),
    };
    auto provide = [&]() -> const std::vector<Service>& { return catalog; };
    EXPECT_EQ(find_service_in("über", provide), nullptr) << "Ü does not fold to ü";
    EXPECT_EQ(find_service_in("shared", provide), &catalog[0]);
    EXPECT_EQ(find_service_in("ÄRGER", provide), &catalog[1]) << "the name itself is lowercased";
}

TEST(ServicesCatalog, StoredCatalogueHoldsTheFortyEightServicesInOrder) {
    const std::vector<Service>& services = services_catalog();
    std::vector<std::string> keys;
    for (const Service& s : services)
        keys.push_back(s.key);
    EXPECT_EQ(
        keys,
        (std::vector<std::string>{
            "telegram",   "x",          "youtube",    "instagram",   "facebook",    "whatsapp",
            "discord",    "openai",     "netflix",    "spotify",     "tiktok",      "twitch",
            "reddit",     "github",     "steam",      "signal",      "linkedin",    "pinterest",
            "binance",    "bybit",      "mexc",       "okx",         "claude",      "gemini",
            "perplexity", "copilot",    "midjourney", "notion",      "figma",       "slack",
            "zoom",       "dropbox",    "roblox",     "epicgames",   "playstation", "xbox",
            "vimeo",      "soundcloud", "wikipedia",  "tradingview", "coinbase",    "duolingo",
            "viber",      "skype",      "proton",     "minecraft",   "google",      "adult"}));

    std::size_t domains = 0;
    std::vector<std::string> without_rule_sets, with_ranges;
    std::set<std::string> names;
    for (const Service& s : services) {
        domains += s.domains.size();
        EXPECT_GE(s.domains.size(), 1u) << s.key;
        if (s.rule_sets.empty())
            without_rule_sets.push_back(s.key);
        if (!s.ip_cidrs.empty())
            with_ranges.push_back(s.key);
        std::vector<std::string> own = s.aliases;
        own.push_back(s.key);
        for (const std::string& name : own) {
            EXPECT_TRUE(names.insert(name).second) << "shared name " << name;
            EXPECT_EQ(name.find('.'), std::string::npos) << name;
            EXPECT_EQ(text::to_lower(name), name) << name;
        }
    }
    EXPECT_EQ(domains, 186u);
    EXPECT_EQ(without_rule_sets, (std::vector<std::string>{"mexc", "midjourney", "tradingview",
                                                           "coinbase", "proton", "minecraft"}));
    EXPECT_EQ(with_ranges, (std::vector<std::string>{"telegram", "adult"}));
    EXPECT_EQ(services.front().ip_cidrs.size(), 9u);
    EXPECT_EQ(services.back().ip_cidrs.size(), 3u);
    EXPECT_EQ(services.back().aliases.size(), 24u);
    EXPECT_EQ(services.back().rule_sets,
              (std::vector<std::string>{"category-porn", "pornhub", "xvideos"}));
}

TEST(ServicesCatalog, ReadsObjectAndListFormsAndIgnoresUnknownKeys) {
    auto services = parse_services_catalog(R"({
      "version": 1, "comment": {"nested": [1, {"key": "ignored"}]},
      "services": [
        {"rule_sets": ["r"], "key": "a", "extra": null, "aliases": ["aa"]},
        ["b", "B", ["bb"], ["b.com"], ["1.2.3.0/24"]],
        ["c"]
      ]
    }
    )");
    ASSERT_EQ(services.size(), 3u);
    EXPECT_EQ(services[0].key, "a");
    EXPECT_EQ(services[0].title, "");
    EXPECT_EQ(services[0].aliases, std::vector<std::string>{"aa"});
    EXPECT_EQ(services[0].rule_sets, std::vector<std::string>{"r"});
    EXPECT_TRUE(services[0].domains.empty());
    EXPECT_EQ(services[1].title, "B");
    EXPECT_EQ(services[1].ip_cidrs, std::vector<std::string>{"1.2.3.0/24"});
    EXPECT_TRUE(services[1].rule_sets.empty());
    EXPECT_EQ(services[2].key, "c");

    EXPECT_TRUE(parse_services_catalog(R"({"version": 1})").empty());
}

TEST(ServicesCatalog, AFaultAnywhereGivesTheEmptyCatalogue) {
    const char* documents[] = {
        R"({"services": [{"key": "a"}, {"title": "no key"}]})",
        R"({"services": [{"key": "a", "domains": [], "domains": ["a.com"]}]})",
        R"({"services": [{"key": "a"}], "services": [{"key": "b"}]})",
        R"({"services": [{"key": "a", "x": {"y": 1, "y": 2}}]})",
        R"({"services": [{"key": "a"}]} trailing)",
        R"({"services": [{"key": "a"}]}{})",
        R"({"services": [{"key": "a", "aliases": "aa"}]})",
        R"({"services": [{"key": "a", "domains": ["a.com", 1]}]})",
        R"({"services": [{"key": 1}]})",
        R"({"services": [{"key": "a", "title": null}]})",
        R"({"services": [[]]})",
        R"({"services": [["a", "", [], [], [], [], "seventh"]]})",
        R"({"services": [{"key": "a"}, "b"]})",
        R"({"services": {"key": "a"}})",
        R"([{"key": "a"}])",
        R"({"services": [{"key": "a"})",
        "",
    };
    for (const char* document : documents) {
        auto services = parse_services_catalog(document);
        EXPECT_TRUE(services.empty()) << document;
        auto provide = [&]() -> const std::vector<Service>& { return services; };
        EXPECT_EQ(find_service_in("a", provide), nullptr) << document;
    }
}

} // namespace
} // namespace kest::config
