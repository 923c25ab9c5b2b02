#include "apps/java_runtime.h"

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "support/folder_link.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

// Every variable the candidate folders come from, pointed into the test's folder or unset.
struct JavaEnv {
    explicit JavaEnv(const testing::TempDir& dir) {
        env.set("APPDATA", dir.join("AppData"));
        env.set("LOCALAPPDATA", std::nullopt);
        env.set("ProgramFiles", dir.join("PF"));
        env.set("ProgramFiles(x86)", "");
    }
    testing::ScopedEnv env;
};

TEST(FindJavaw, SearchesTheListingFirstThenSubfoldersDownToEightLevels) {
    testing::TempDir dir;
    const std::string root = dir.join("runtime");
    testing::touch(path_of(root, {"a", "b", "c", "d", "e", "f", "g", "h", "JAVAW.EXE"}));
    EXPECT_EQ(find_javaw(root),
              path_of(root, {"a", "b", "c", "d", "e", "f", "g", "h", "JAVAW.EXE"}));

    testing::TempDir deep;
    testing::touch(
        path_of(deep.path(), {"1", "2", "3", "4", "5", "6", "7", "8", "9", "javaw.exe"}));
    EXPECT_EQ(find_javaw(deep.path()), std::nullopt) << "nine levels down is too deep";

    testing::TempDir near;
    testing::touch(path_of(near.path(), {"a", "javaw.exe"}));
    testing::touch(path_of(near.path(), {"javaw.exe"}));
    testing::touch(path_of(near.path(), {"javaw.exe.bak"}));
    EXPECT_EQ(find_javaw(near.path()), near.join("javaw.exe"));
    EXPECT_EQ(find_javaw(dir.join("missing")), std::nullopt);
}

TEST(FindJavaw, DoesNotEnterFolderLinks) {
    testing::TempDir dir;
    testing::TempDir elsewhere;
    testing::touch(elsewhere.join("javaw.exe"));
    auto linked = testing::make_folder_link(dir.join("link"), elsewhere.path());
    if (!linked)
        GTEST_SKIP() << "no folder links here: " << linked.error();
    EXPECT_EQ(find_javaw(dir.path()), std::nullopt);
}

TEST(JavaEntry, TakesTheFirstCandidateHoldingJavaw) {
    testing::TempDir dir;
    JavaEnv env(dir);
    const std::string vendor = path_of(dir.path(), {"PF", "Java", "jdk-21", "bin", "javaw.exe"});
    const std::string launcher =
        path_of(dir.path(), {"PF", "Minecraft Launcher", "runtime", "x", "javaw.exe"});
    testing::touch(vendor);
    testing::touch(launcher);
    ASSERT_TRUE(
        platform::create_directories(path_of(dir.path(), {"AppData", ".minecraft", "runtime"})));

    EXPECT_EQ(
        java_runtime_candidates(),
        (std::vector<std::string>{path_of(dir.path(), {"AppData", ".minecraft", "runtime"}),
                                  path_of(dir.path(), {"PF", "Minecraft Launcher", "runtime"}),
                                  path_of(dir.path(), {"PF", "Java"})}));
    std::vector<AppEntry> list = {{"Other", "C:\\o.exe", ""}};
    append_java_entry(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].name, "Java / Minecraft (javaw.exe)");
    EXPECT_EQ(list[1].exe_path, launcher);
}

TEST(JavaEntry, SearchesAllEightFoldersInTheirOrder) {
    testing::TempDir dir;
    testing::ScopedEnv env;
    env.set("APPDATA", dir.join("Roaming"));
    env.set("LOCALAPPDATA", dir.join("Local"));
    env.set("ProgramFiles", dir.join("PF"));
    env.set("ProgramFiles(x86)", dir.join("PFX"));
    const std::vector<std::string> order = {
        path_of(dir.path(), {"Roaming", ".minecraft", "runtime"}),
        path_of(dir.path(), {"PFX", "Minecraft Launcher", "runtime"}),
        path_of(dir.path(), {"PF", "Minecraft Launcher", "runtime"}),
        path_of(dir.path(), {"Local", "Packages", "Microsoft.4297127D64EC6_8wekyb3d8bbwe",
                             "LocalCache", "Local", "runtime"}),
        path_of(dir.path(), {"PF", "Java"}),
        path_of(dir.path(), {"PFX", "Java"}),
        path_of(dir.path(), {"PF", "Eclipse Adoptium"}),
        path_of(dir.path(), {"PF", "Zulu"}),
    };
    for (const std::string& folder : order)
        testing::touch(path_of(folder, {"bin", "javaw.exe"}));
    EXPECT_EQ(java_runtime_candidates(), order);

    std::vector<AppEntry> list;
    append_java_entry(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].exe_path, path_of(order[0], {"bin", "javaw.exe"}));
}

TEST(JavaEntry, AddsNothingWhenAJavawIsListedOrNoneIsFound) {
    testing::TempDir dir;
    JavaEnv env(dir);
    testing::touch(path_of(dir.path(), {"PF", "Zulu", "javaw.exe"}));
    std::vector<AppEntry> listed = {{"Running Java", "D:\\jre\\bin\\JavaW.exe", ""}};
    append_java_entry(listed);
    EXPECT_EQ(listed.size(), 1u);

    testing::TempDir empty;
    JavaEnv none(empty);
    std::vector<AppEntry> list;
    append_java_entry(list);
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace kest::apps
