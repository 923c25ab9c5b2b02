#include "apps/shortcuts.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "platform/shell_link.h"
#include "support/folder_link.h"
#include "support/scoped_env.h"
#include "support/shell_link_file.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

using testing::path_of;

TEST(ShortcutStem, NeedsTheLnkExtensionInAnyAsciiCase) {
    struct Case {
        const char* name;
        std::optional<std::string_view> stem;
    } cases[] = {
        {"App.lnk", "App"},
        {"App.LNK", "App"},
        {"My.App.lnk", "My.App"},
        {" Spaced .lnk", " Spaced "},
        {"..lnk", "."},
        {".lnk", std::nullopt},
        {"App.lnk.bak", std::nullopt},
        {"App.url", std::nullopt},
        {"App.lnkx", std::nullopt},
        {"App", std::nullopt},
        {"App.", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shortcut_stem(c.name), c.stem) << c.name;
}

// A Start Menu tree of real shortcut files; only where the system has shell links.
class ShortcutScan : public ::testing::Test {
protected:
    void SetUp() override {
        apps_ = dir_.join("Apps");
        menu_ = dir_.join("Menu");
        ASSERT_TRUE(platform::create_directories(menu_));
        auto probe = testing::write_shell_link(menu_ + platform::path_separator() + "probe.lnk",
                                               dir_.join("x.exe"));
        if (!probe)
            GTEST_SKIP() << probe.error();
        ASSERT_TRUE(platform::remove_file(menu_ + platform::path_separator() + "probe.lnk"));
    }

    void link(std::initializer_list<std::string_view> where, const std::string& target,
              const std::string& args = "") {
        std::string path = path_of(menu_, where);
        std::string_view name = text::file_name_of(path);
        ASSERT_TRUE(platform::create_directories(path.substr(0, path.size() - name.size() - 1)));
        auto written = testing::write_shell_link(path, target, args);
        ASSERT_TRUE(written) << written.error();
    }

    // Listing order is the system's; the records are what counts: sorted by name.
    std::vector<AppEntry> scan() {
        platform::ShellLinkApartment apartment;
        std::vector<AppEntry> out;
        scan_shortcuts(menu_, out);
        std::sort(out.begin(), out.end(),
                  [](const AppEntry& a, const AppEntry& b) { return a.name < b.name; });
        return out;
    }

    testing::TempDir dir_;
    std::string apps_, menu_;
};

TEST_F(ShortcutScan, ResolvesTargetsBelowTheFolderAndFiltersThem) {
    const std::string editor = path_of(apps_, {"Editor", "editor.exe"});
    const std::string nested = path_of(apps_, {"Nested", "nested.exe"});
    const std::string setup = path_of(apps_, {"Editor", "setup.exe"});
    for (const std::string& file : {editor, nested, setup})
        testing::touch(file);
    testing::ScopedEnv env("KEST_APPS_DIR", apps_);

    link({"Editor.LNK"}, editor);
    link({"Group", "Deeper", "Nested Tool.lnk"}, nested);
    link({"Editor Help.lnk"}, editor); // junk name: skipped before loading
    link({"Setup Editor.lnk"}, setup); // installer target
    link({"Missing.lnk"}, path_of(apps_, {"Missing", "missing.exe"}));
    link({"Editor.lnk.bak"}, editor);
    testing::touch(path_of(menu_, {"Broken.lnk"})); // not a shortcut at all

    auto found = scan();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "Editor");
    EXPECT_EQ(found[0].exe_path, editor);
    EXPECT_EQ(found[1].name, "Nested Tool");
    EXPECT_EQ(found[1].exe_path, nested);
    EXPECT_EQ(found[1].icon, "");
}

// The target is expanded before it is judged: only the expanded path names a file that exists.
TEST_F(ShortcutScan, ExpandsEnvironmentReferencesInTheTarget) {
    const std::string editor = path_of(apps_, {"Editor", "editor.exe"});
    const std::string viewer = path_of(apps_, {"Viewer", "viewer.exe"});
    testing::touch(editor);
    testing::touch(viewer);
    testing::ScopedEnv env;
    env.set("KEST_EDITOR_FOLDER", "Editor");
    env.set("KEST_VIEWER_FOLDER", "Viewer");
    link({"Editor.lnk"}, path_of(apps_, {"${KEST_EDITOR_FOLDER}", "editor.exe"}));
    link({"Viewer.lnk"}, path_of(apps_, {"$KEST_VIEWER_FOLDER", "viewer.exe"}));

    auto found = scan();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "Editor");
    EXPECT_EQ(found[0].exe_path, editor);
    EXPECT_EQ(found[1].name, "Viewer");
    EXPECT_EQ(found[1].exe_path, viewer);
}

TEST_F(ShortcutScan, FollowsALauncherToTheApplicationItStarts) {
    const std::string launcher = path_of(apps_, {"Chat", "Update.exe"});
    const std::string chat = path_of(apps_, {"Chat", "app-1.2.9", "Chat.exe"});
    testing::touch(launcher);
    testing::touch(chat);
    testing::touch(path_of(apps_, {"Chat", "app-1.2.10", "Chat.exe"}));
    link({"Chat.lnk"}, launcher, "--processStart \"Chat.exe\"");
    link({"Lone Update.lnk"}, launcher, "--processStart Gone.exe");

    auto found = scan();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].exe_path, chat);
    EXPECT_EQ(found[1].name, "Lone Update"); // nothing to follow: the launcher itself
    EXPECT_EQ(found[1].exe_path, launcher);
}

TEST_F(ShortcutScan, DoesNotEnterFolderLinks) {
    const std::string app = path_of(apps_, {"Linked", "app.exe"});
    testing::touch(app);
    link({"Elsewhere", "Linked App.lnk"}, app);
    auto linked =
        testing::make_folder_link(path_of(menu_, {"Link"}), path_of(menu_, {"Elsewhere"}));
    if (!linked)
        GTEST_SKIP() << "no folder links here: " << linked.error();
    auto found = scan();
    ASSERT_EQ(found.size(), 1u) << "the shortcut is found once, through its real folder";
    EXPECT_EQ(found[0].exe_path, app);
}

} // namespace
} // namespace kest::apps
