#include "config/environment.h"

#include <gtest/gtest.h>

#include <map>

#include "support/env_not_unicode.h"
#include "support/scoped_env.h"

namespace kest::config {
namespace {

ConfigEnvironment from(const std::map<std::string, std::string>& vars) {
    return config_environment_from(
        [&](std::string_view name) -> std::optional<std::string> {
            auto it = vars.find(std::string(name));
            return it == vars.end() ? std::nullopt : std::optional(it->second);
        },
        '\\');
}

TEST(ConfigEnvironment, ReadsTheDataDirectoryAndBothSwitchesByTheirNames) {
    ConfigEnvironment set = from({{"APPDATA", "C:\\Users\\u\\AppData\\Roaming"},
                                  {"KEST_ENGINE_LOG", "warn"},
                                  {"KEST_NO_UOT", "1"}});
    EXPECT_EQ(set.data_directory, "C:\\Users\\u\\AppData\\Roaming\\Kest Connect");
    EXPECT_EQ(set.engine_log, "warn");
    EXPECT_TRUE(set.udp_over_tcp_disabled);

    ConfigEnvironment unset = from({{"USERPROFILE", "C:\\Users\\u"}});
    EXPECT_EQ(unset.data_directory, "C:\\Users\\u\\.config\\Kest Connect");
    EXPECT_EQ(unset.engine_log, std::nullopt);
    EXPECT_FALSE(unset.udp_over_tcp_disabled);

    // An empty level is a value of its own, which the configuration then refuses.
    EXPECT_EQ(from({{"KEST_ENGINE_LOG", ""}}).engine_log, "");
}

TEST(ConfigEnvironment, SwitchesThatAreNotUnicodeTextCountAsUnset) {
    testing::ScopedEnv env;
    env.set("KEST_ENGINE_LOG", std::nullopt);
    env.set("KEST_NO_UOT", "1");
    testing::set_env_not_unicode("KEST_ENGINE_LOG");
    ConfigEnvironment read = read_config_environment();
    EXPECT_EQ(read.engine_log, std::nullopt);
    EXPECT_TRUE(read.udp_over_tcp_disabled);
}

} // namespace
} // namespace kest::config
