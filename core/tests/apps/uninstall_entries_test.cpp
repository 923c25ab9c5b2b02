#include "apps/uninstall_entries.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "platform/process_image.h"
#include "support/registry_fixture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

platform::RegistryValue value(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    return {type, std::move(bytes)};
}

TEST(IsSystemComponent, OnlyTheDwordOne) {
    using platform::kRegDword;
    EXPECT_TRUE(is_system_component(value(kRegDword, {1, 0, 0, 0})));
    EXPECT_TRUE(is_system_component(value(kRegDword, {1, 0, 0, 0, 9})));
    EXPECT_FALSE(is_system_component(value(kRegDword, {0, 0, 0, 0})));
    EXPECT_FALSE(is_system_component(value(kRegDword, {1, 0, 0, 1})));
    EXPECT_FALSE(is_system_component(value(kRegDword, {1, 0, 0})));
    EXPECT_FALSE(is_system_component(value(platform::kRegSz, {'1', 0, 0, 0})));
    EXPECT_FALSE(is_system_component(value(11 /* QWORD */, {1, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(is_system_component(std::nullopt));
}

TEST(IsListedDisplayName, SkipsBlankJunkRuntimesDriversAndUpdates) {
    for (const char* skipped :
         {"", "   ", "Runtime Redistributable 2015 (x64)", "Graphics Driver 31.0", "Windows SDK",
          "Security Update for Office", "Microsoft .NET Runtime", "Пакет обновления",
          "ЯЗЫКОВОЙ пакет", "Uninstall Tool", "Language Pack (RU)"})
        EXPECT_FALSE(is_listed_display_name(skipped)) << skipped;
    for (const char* listed : {"Telegram Desktop", " Firefox ", "Блокнот++"})
        EXPECT_TRUE(is_listed_display_name(listed)) << listed;
}

TEST(DisplayIconPath, DropsQuotesAndTheIconIndex) {
    testing::ScopedEnv env("ProgramFiles", "C:\\Program Files");
    struct Case {
        const char* icon;
        const char* path;
    } cases[] = {
        {"\"C:\\Apps\\app.exe\",0", "C:\\Apps\\app.exe"},
        {"  \"C:\\Apps\\app.exe\"  ", "C:\\Apps\\app.exe"},
        {"C:\\Apps\\a,b\\tool.exe,0", "C:\\Apps\\a,b\\tool.exe"},
        {"C:\\Apps\\a,b\\tool.exe", "C:\\Apps\\a"}, // cut at the folder's comma
        {"\"C:\\Apps\\app.exe\" , -101", "C:\\Apps\\app.exe"},
        {",0", ",0"}, // a comma at index 0 or 1 is no cut point
        {"a,0", "a,0"},
        {"ab,0", "ab"},
        {"$ProgramFiles\\App\\app.exe", "C:\\Program Files\\App\\app.exe"},
        {"%ProgramFiles%\\App\\app.exe", "%ProgramFiles%\\App\\app.exe"},
        {"\"\"", ""},
        {"  ", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(display_icon_path(c.icon), c.path) << c.icon;
}

// Entries written into the test's own registry, in the current user's view and, where the
// registry lets the test write there, the machine's.
TEST(UninstallApps, ListsTheEntriesOfEveryViewThatNameAUserApplication) {
    testing::TempDir dir;
    const std::string marker = "KestFixture" + std::to_string(platform::current_process_id());
    const std::string app = path_of(dir.path(), {"dir,with comma", "tool.exe"});
    const std::string other = path_of(dir.path(), {"Other", "other.exe"});
    testing::touch(app);
    testing::touch(other);
    auto key = [&](const std::string& name) {
        return std::string(kUninstallKeyPath) + "\\" + marker + name;
    };
    using platform::RegistryRoot;
    testing::RegistryFixture listed(RegistryRoot::CurrentUser, key("A"), platform::kRegistryView64);
    if (!listed.ok())
        GTEST_SKIP() << "no registry to write into here";
    ASSERT_TRUE(listed.set_string("DisplayName", " " + marker + " Tool "));
    ASSERT_TRUE(listed.set_string("DisplayIcon", "\"" + app + "\",0", platform::kRegExpandSz));

    testing::RegistryFixture hidden(RegistryRoot::CurrentUser, key("B"), platform::kRegistryView64);
    ASSERT_TRUE(hidden.set_string("DisplayName", marker + " Hidden"));
    ASSERT_TRUE(hidden.set_string("DisplayIcon", other));
    ASSERT_TRUE(hidden.set_dword("SystemComponent", 1));

    testing::RegistryFixture text_flag(RegistryRoot::CurrentUser, key("C"),
                                       platform::kRegistryView64);
    ASSERT_TRUE(text_flag.set_string("DisplayName", marker + " Text Flag"));
    ASSERT_TRUE(text_flag.set_string("DisplayIcon", other));
    ASSERT_TRUE(text_flag.set_string("SystemComponent", "1"));

    testing::RegistryFixture runtime(RegistryRoot::CurrentUser, key("D"),
                                     platform::kRegistryView64);
    ASSERT_TRUE(runtime.set_string("DisplayName", marker + " Runtime"));
    ASSERT_TRUE(runtime.set_string("DisplayIcon", other));

    testing::RegistryFixture no_icon(RegistryRoot::CurrentUser, key("E"),
                                     platform::kRegistryView64);
    ASSERT_TRUE(no_icon.set_string("DisplayName", marker + " No Icon"));

    testing::RegistryFixture machine(RegistryRoot::LocalMachine, key("M"),
                                     platform::kRegistryView32);
    const bool has_machine = machine.ok() &&
                             machine.set_string("DisplayName", marker + " Machine") &&
                             machine.set_string("DisplayIcon", other);

    std::vector<AppEntry> out;
    append_uninstall_apps(out);
    std::vector<AppEntry> ours;
    std::copy_if(out.begin(), out.end(), std::back_inserter(ours),
                 [&](const AppEntry& a) { return a.name.find(marker) != std::string::npos; });

    std::vector<std::pair<std::string, std::string>> expected;
    if (has_machine)
        expected.push_back({marker + " Machine", other}); // the machine's views come first
    expected.push_back({marker + " Tool", app});
    expected.push_back({marker + " Text Flag", other});
    std::vector<std::pair<std::string, std::string>> got;
    for (const AppEntry& a : ours)
        got.push_back({a.name, a.exe_path});
    EXPECT_EQ(got, expected);
}

} // namespace
} // namespace kest::apps
