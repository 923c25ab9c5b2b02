#include "util/data_dir.h"

#include <map>

#include <gtest/gtest.h>

namespace kest {
namespace {

EnvLookup env_of(std::map<std::string, std::string> vars) {
    return [vars](std::string_view name) -> std::optional<std::string> {
        auto it = vars.find(std::string(name));
        if (it == vars.end())
            return std::nullopt;
        return it->second;
    };
}

TEST(DataDir, FollowsAppDataThenTheHomeFolder) {
    struct Case {
        std::map<std::string, std::string> env;
        std::string data_dir;
        std::string home_dir;
    } cases[] = {
        {{{"APPDATA", "C:\\Users\\u\\AppData\\Roaming"}},
         "C:\\Users\\u\\AppData\\Roaming\\Kest Connect",
         "."},
        {{{"APPDATA", "C:\\A\\"}}, "C:\\A\\Kest Connect", "."},
        {{{"APPDATA", ""}, {"USERPROFILE", "C:\\Users\\u"}},
         "C:\\Users\\u\\.config\\Kest Connect",
         "C:\\Users\\u"},
        {{{"USERPROFILE", ""}, {"HOME", "/home/u"}}, "/home/u\\.config\\Kest Connect", "/home/u"},
        {{{"USERPROFILE", "C:\\P"}, {"HOME", "/home/u"}}, "C:\\P\\.config\\Kest Connect", "C:\\P"},
        {{}, ".\\.config\\Kest Connect", "."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(data_dir_from(env_of(c.env), '\\'), c.data_dir);
        EXPECT_EQ(home_dir_from(env_of(c.env)), c.home_dir);
    }
}

TEST(DataDir, UsesThePlatformSeparatorForItsOwnJoins) {
    EXPECT_EQ(data_dir_from(env_of({{"HOME", "/home/u/"}}), '/'), "/home/u/.config/Kest Connect");
}

} // namespace
} // namespace kest
