#include "apps/launcher.h"

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

TEST(ProcessStartValue, TakesTheNameAfterEqualsOrWhiteSpace) {
    struct Case {
        const char* args;
        std::optional<std::string> value;
    } cases[] = {
        {"--processStart \"Chat.exe\"", "Chat.exe"},
        {"--processStart=Chat.exe", "Chat.exe"},
        {"--processStart   Chat.exe --flag", "Chat.exe"},
        {"--processStart\tChat.EXE", "Chat.EXE"},
        {"--processStart\u3000Chat.exe", "Chat.exe"}, // Unicode white space counts
        {"-a --processStart=\"Chat.exe\" --processStart Other.exe", "Chat.exe"},
        {"--processStartAndWait Chat.exe", std::nullopt},
        {"--processstart Chat.exe", std::nullopt},
        {"--processStart Chat.dll", std::nullopt},
        {"--processStart \"My Chat.exe\"", std::nullopt}, // cut at the space
        {"--processStart", std::nullopt},
        {"--processStart=", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(process_start_value(c.args), c.value) << c.args;
}

TEST(ResolveProcessStart, PrefersTheHighestVersionFolderByTextThenTheLaunchersOwn) {
    testing::TempDir dir;
    const std::string launcher = dir.join("Update.exe");
    testing::touch(launcher);
    testing::touch(path_of(dir.path(), {"app-1.2.9", "Chat.exe"}));
    testing::touch(path_of(dir.path(), {"app-1.2.10", "Chat.exe"}));
    testing::touch(path_of(dir.path(), {"APP-0.1", "Only.exe"}));
    testing::touch(path_of(dir.path(), {"app-9.9", "Beside.exe_not"}));
    testing::touch(dir.join("Beside.exe"));
    testing::touch(dir.join("app-file")); // a file named like a version folder

    EXPECT_EQ(resolve_process_start(launcher, "--processStart \"Chat.exe\""),
              path_of(dir.path(), {"app-1.2.9", "Chat.exe"}));
    EXPECT_EQ(resolve_process_start(launcher, "--processStart=Only.exe"),
              path_of(dir.path(), {"APP-0.1", "Only.exe"}));
    EXPECT_EQ(resolve_process_start(launcher, "--processStart Beside.exe"), dir.join("Beside.exe"));
    EXPECT_EQ(resolve_process_start(launcher, "--processStart Missing.exe"), std::nullopt);
    EXPECT_EQ(resolve_process_start("Update.exe", "--processStart Chat.exe"), std::nullopt);
    EXPECT_EQ(resolve_process_start(path_of(dir.path(), {"gone", "Update.exe"}),
                                    "--processStart Chat.exe"),
              std::nullopt);
}

TEST(AppVersionDirs, ListsFoldersStartingWithAppInAnyCase) {
    std::vector<platform::FolderEntry> listing = {
        {"app-2", true, true}, {"App-1", true, true}, {"app-file", true, false},
        {"apps", true, true},  {"Äpp-3", true, true},
    };
    const char sep = platform::path_separator();
    EXPECT_EQ(app_version_dirs("base", listing),
              (std::vector<std::string>{std::string("base") + sep + "app-2",
                                        std::string("base") + sep + "App-1"}));
}

} // namespace
} // namespace kest::apps
