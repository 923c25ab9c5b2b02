#include "apps/app_list.h"

#include <gtest/gtest.h>

#include "platform/self_path.h"
#include "text/path_text.h"

namespace kest::apps {
namespace {

std::vector<std::string> names_of(const std::vector<AppEntry>& list) {
    std::vector<std::string> out;
    for (const AppEntry& app : list)
        out.push_back(app.name);
    return out;
}

TEST(NameLessCi, ComparesLowercasedBytesWithThePrefixFirst) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"app", "Apple", true},    {"Apple", "app", false}, {"adobe", "Zoom", true},
        {"Zoom", "adobe", false},  {"ABC", "abc", false},   {"abc", "ABC", false},
        {"Яндекс", "zoom", false}, // Cyrillic bytes sort after ASCII
        {"ёж", "Ёлка", true},      {"", "a", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(name_less_ci({c.a, "", ""}, {c.b, "", ""}), c.less) << c.a << " < " << c.b;
}

TEST(DedupeAndSort, KeepsTheFirstRecordOfEachPathAndSortsStably) {
    std::vector<AppEntry> list = {
        {"Zoom", "C:\\Z\\zoom.exe", ""},
        {"beta", "C:\\B\\b.exe", ""},
        {"Second zoom", "c:\\z\\ZOOM.EXE", ""}, // same path in other case: dropped
        {"Slash", "C:/B/b.exe", ""},            // other separator: a path of its own
        {"BETA", "C:\\B\\b2.exe", ""},          // equal lowercased name: stays after "beta"
        {"alpha", "C:\\A\\a.exe", ""},
    };
    auto sorted = dedupe_and_sort_apps(list);
    EXPECT_EQ(names_of(sorted),
              (std::vector<std::string>{"alpha", "beta", "BETA", "Slash", "Zoom"}));
    EXPECT_EQ(sorted.back().exe_path, "C:\\Z\\zoom.exe");
    EXPECT_TRUE(dedupe_and_sort_apps({}).empty());
}

TEST(DropOwnExecutables, DropsTheCoresOwnProgramsAndKeepsTheOrder) {
    std::string self = platform::own_executable_path().value();
    std::string folder = self.substr(0, self.size() - text::file_name_of(self).size());
    std::vector<AppEntry> list = {
        {"b", folder + "other.exe", ""},         {"engine", folder + "vuvezozire.exe", ""},
        {"a", folder + "another.exe", ""},       {"core", folder + "KESTCORE.EXE", ""},
        {"ui", folder + "kest-connect.exe", ""},
    };
    EXPECT_EQ(names_of(drop_own_executables(list)), (std::vector<std::string>{"b", "a"}));
}

} // namespace
} // namespace kest::apps
