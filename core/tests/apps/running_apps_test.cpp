#include "apps/running_apps.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "apps/app_filters.h"
#include "apps/app_fixtures.h"
#include "platform/process_image.h"
#include "platform/self_path.h"
#include "support/child_session.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

// A copy of a test program started from a folder of the test's choosing, known to run.
struct RunningCopy {
    // An empty stem starts the program already at path once more.
    RunningCopy(std::string_view stem, std::string path_) : path(std::move(path_)) {
        if (!stem.empty())
            testing::copy_program(stem, path);
        session = std::make_unique<testing::ChildSession>(path);
        // An answer means the program itself runs, not a process still starting it.
        EXPECT_TRUE(session->write("up\n"));
        EXPECT_EQ(session->next_line(), "up");
    }
    std::string path;
    std::unique_ptr<testing::ChildSession> session;
};

std::vector<AppEntry> running_with_path(const std::string& path) {
    std::vector<AppEntry> out;
    for (AppEntry& app : running_user_apps())
        if (app.exe_path == path)
            out.push_back(std::move(app));
    return out;
}

TEST(NameFromFile, DropsOnlyALowercaseExe) {
    EXPECT_EQ(name_from_file("C:\\Tools\\notepad2.exe"), "notepad2");
    EXPECT_EQ(name_from_file("C:\\Tools\\APP.EXE"), "APP.EXE");
    EXPECT_EQ(name_from_file("/opt/tool.Exe"), "tool.Exe");
    EXPECT_EQ(name_from_file(".exe"), "");
}

TEST(RunningUserApps, ListsEveryProcessOfAUserExecutableByItsFileName) {
    testing::TempDir dir;
    RunningCopy lower("line_echo", path_of(dir.path(), {"one", "Tool.exe"}));
    RunningCopy upper("line_echo", path_of(dir.path(), {"two", "TOOL.EXE"}));
    RunningCopy again("", lower.path);
    auto lower_apps = running_with_path(lower.path);
    ASSERT_EQ(lower_apps.size(), 2u) << "one record per process";
    EXPECT_EQ(lower_apps[0].name, "Tool");
    EXPECT_EQ(lower_apps[0].icon, "");
    auto upper_apps = running_with_path(upper.path);
    ASSERT_EQ(upper_apps.size(), 1u);
    EXPECT_EQ(upper_apps[0].name, "TOOL.EXE");
}

TEST(RunningUserApps, SkipsFiltersJunkAndTheOwnProcess) {
    testing::TempDir dir;
    RunningCopy installer("line_echo", path_of(dir.path(), {"a", "setup_tool.exe"}));
    RunningCopy junk("line_echo", path_of(dir.path(), {"b", "readme.exe"}));
    RunningCopy in_windows("line_echo", path_of(dir.path(), {"Win", "app.exe"}));
    testing::ScopedEnv env("WINDIR", dir.join("Win"));
    EXPECT_TRUE(running_with_path(installer.path).empty());
    EXPECT_TRUE(running_with_path(junk.path).empty());
    EXPECT_TRUE(running_with_path(in_windows.path).empty());

    // The test program itself passes every filter once it is named like an application, and is
    // still never listed.
    platform::ImagePathBuffer buffer;
    std::string self = platform::process_image_path(platform::current_process_id(), buffer);
    if (!is_user_app_exe(self))
        GTEST_SKIP() << "the test program's own path is no user application here";
    EXPECT_TRUE(running_with_path(self).empty());
}

TEST(RunningUserApps, NamesAProcessByTheDescriptionInItsVersionResource) {
    testing::TempDir dir;
    RunningCopy described("described_app", path_of(dir.path(), {"Описанное", "described_app.exe"}));
    auto apps = running_with_path(described.path);
    ASSERT_EQ(apps.size(), 1u);
    if (platform::path_separator() == '/')
        EXPECT_EQ(apps[0].name, "described_app") << "no version resources here";
    else
        EXPECT_EQ(apps[0].name, "Описанное приложение Kest");
}

} // namespace
} // namespace kest::apps
