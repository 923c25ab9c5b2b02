#include "apps/app_filters.h"

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

TEST(IsUserAppExe, NeedsAnExistingExeOutsideTheWindowsFolderWithoutInstallerWords) {
    testing::TempDir dir;
    const std::string win = dir.join("Win");
    testing::ScopedEnv env("WINDIR", win);
    struct Case {
        std::string path;
        bool create;
        bool user_app;
    } cases[] = {
        {path_of(dir.path(), {"Apps", "Telegram.exe"}), true, true},
        {path_of(dir.path(), {"Apps", "Update.exe"}), true, true},
        {path_of(dir.path(), {"Apps", "LOUD.EXE"}), true, true},
        {path_of(dir.path(), {"Apps", "missing.exe"}), false, false},
        {path_of(dir.path(), {"Apps", "tool.com"}), true, false},
        {path_of(dir.path(), {"Apps", "trailing.exe "}), true, false},
        {path_of(dir.path(), {"Apps", "unins000.exe"}), true, false},
        {path_of(dir.path(), {"Apps", "MyAppSetup.exe"}), true, false},
        {path_of(dir.path(), {"Apps", "Installer.exe"}), true, false},
        {path_of(dir.path(), {"Apps", "CrashHandler64.exe"}), true, false},
        {path_of(dir.path(), {"Apps", "Elevated.exe"}), true, false},
        // The Windows folder is a plain prefix, in any letter case: its neighbours go too.
        {path_of(dir.path(), {"WIN", "system32", "notepad.exe"}), true, false},
        {path_of(dir.path(), {"Win.old", "app.exe"}), true, false},
        {"", false, false},
        {"   ", false, false},
    };
    for (const Case& c : cases) {
        if (c.create)
            testing::touch(c.path);
        EXPECT_EQ(is_user_app_exe(c.path), c.user_app) << c.path;
    }
}

TEST(IsUserAppExe, AFolderNamedLikeAnExecutablePasses) {
    testing::TempDir dir;
    const std::string folder = dir.join("Tool.exe");
    ASSERT_TRUE(platform::create_directories(folder));
    EXPECT_TRUE(is_user_app_exe(folder));
}

TEST(IsUserAppExe, WithoutWindowsFolderNoFolderIsRefused) {
    testing::TempDir dir;
    const std::string app = path_of(dir.path(), {"Win", "app.exe"});
    testing::touch(app);
    for (std::optional<std::string> windir :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        testing::ScopedEnv env("WINDIR", windir);
        EXPECT_TRUE(is_user_app_exe(app));
    }
    testing::ScopedEnv env("WINDIR", dir.join("Win"));
    EXPECT_FALSE(is_user_app_exe(app));
}

TEST(IsJunkName, FindsTheWordsInAnyLetterCase) {
    for (const char* junk :
         {"Readme", "Help Desk", "Licensed Tools", "Удалить программу", "错误报告", "UNINSTALL",
          "Visit Web Site", "ТЕЛЕМЕТРИЯ", "Microsoft Edge WebView2"})
        EXPECT_TRUE(is_junk_name(junk)) << junk;
    for (const char* app : {"Telegram", "Firefox", "Steam", "Блокнот", ""})
        EXPECT_FALSE(is_junk_name(app)) << app;
}

} // namespace
} // namespace kest::apps
