#include <map>

#include "apps/app_fixtures.h"
#include "core_fixture.h"
#include "platform/process_image.h"
#include "support/icon_fixtures.h"
#include "support/png_reference.h"
#include "support/registry_fixture.h"
#include "support/shell_link_file.h"

namespace kest::testing {
namespace {

// The core lists applications from a machine the test lays out: Start Menu folders, a runtime
// folder and running programs in the test's own folders.
class AppsTest : public CoreTest {
protected:
    void SetUp() override {
        env_.set("ProgramData", machine_.join("ProgramData"));
        env_.set("ProgramFiles", machine_.join("PF"));
        env_.set("ProgramFiles(x86)", std::nullopt);
        env_.set("LOCALAPPDATA", std::nullopt);
        running_path_ = path_of(machine_.path(), {"Running Apps", "FixtureTool.exe"});
        copy_program("described_app", running_path_);
        running_ = std::make_unique<ChildSession>(running_path_);
        ASSERT_TRUE(running_->write("up\n"));
        ASSERT_EQ(running_->next_line(), "up");
        CoreTest::SetUp();
    }

    // The answer to one request, by id, whatever else arrives first.
    Json answer(std::uint64_t id) {
        if (auto it = answers_.find(id); it != answers_.end())
            return it->second;
        for (int i = 0; i < 20; ++i) {
            Json j = next_json(60s);
            if (j.is_null())
                break;
            if (j.contains("id") && j["id"] == id)
                return j;
            answers_[j.value("id", std::uint64_t(0))] = j;
        }
        ADD_FAILURE() << "no answer to request " << id;
        return nullptr;
    }

    Json request(std::uint64_t id, const std::string& method) {
        send(R"({"id":)" + std::to_string(id) + R"(,"method":")" + method + R"("})");
        return answer(id);
    }

    std::size_t scan_summaries() {
        std::size_t n = 0;
        for (const std::string& line : log_with("[apps] "))
            n += line.rfind("[apps] скан: ", 0) == 0;
        return n;
    }

    // Waits until the core has logged n scan summaries.
    bool wait_scan_summaries(std::size_t n) {
        for (int i = 0; i < 600 && scan_summaries() < n; ++i)
            core().wait_stderr_lines(core().stderr_lines().size() + 1, 100ms);
        return scan_summaries() >= n;
    }

    // name -> exe_path of an "apps" answer.
    static std::map<std::string, std::string> by_name(const Json& reply) {
        std::map<std::string, std::string> out;
        for (const Json& app : reply["result"]["apps"])
            out[app["name"]] = app["exe_path"];
        return out;
    }

    std::string running_name() const {
        return platform::path_separator() == '\\' ? "Описанное приложение Kest" : "FixtureTool";
    }

    TempDir machine_;
    std::string running_path_;
    std::unique_ptr<ChildSession> running_;
    std::map<std::uint64_t, Json> answers_;
};

TEST_F(AppsTest, ScansOnceForConcurrentCallsAndAgainOnlyAfterRelease) {
    send(R"({"id":1,"method":"scan_apps"})");
    send(R"({"id":2,"method":"scan_apps"})");
    Json first = answer(1), second = answer(2);
    ASSERT_TRUE(first.contains("result")) << first;
    EXPECT_EQ(first["result"], second["result"]);
    EXPECT_EQ(by_name(first)[running_name()], running_path_);
    ASSERT_TRUE(wait_scan_summaries(1));

    EXPECT_EQ(request(3, "scan_apps")["result"], first["result"]);
    Json running = request(4, "scan_running");
    EXPECT_EQ(by_name(running)[running_name()], running_path_);
    EXPECT_EQ(request(5, "scan_apps")["result"], first["result"]);
    sync(6);
    EXPECT_EQ(scan_summaries(), 1u) << "cached answers and running scans log no summary";

    EXPECT_EQ(request(7, "release_apps_cache")["result"], Json::parse(R"({"ok":true})"));
    EXPECT_EQ(by_name(request(8, "scan_apps"))[running_name()], running_path_);
    EXPECT_TRUE(wait_scan_summaries(2));

    EXPECT_EQ(request(9, "release_apps_cache")["result"], Json::parse(R"({"ok":true})"));
    EXPECT_EQ(request(10, "prewarm_apps"), Json::parse(R"({"id":10,"result":{"ok":true}})"));
    ASSERT_TRUE(wait_scan_summaries(3)) << "the prewarm scan ran";
    EXPECT_EQ(by_name(request(11, "scan_apps"))[running_name()], running_path_);
    sync(12);
    EXPECT_EQ(scan_summaries(), 3u) << "the prewarmed list was taken from the cache";
}

// Shortcuts, uninstall entries and a Java runtime exist only where the system has shell links
// and a registry.
TEST_F(AppsTest, FindsApplicationsThroughEverySource) {
    const std::string marker = "KestE2E" + std::to_string(platform::current_process_id());
    const std::string linked = path_of(machine_.path(), {"Linked", "described_app.exe"});
    const std::string entered = path_of(machine_.path(), {"dir,with comma", "described_app.exe"});
    const std::string flagged = path_of(machine_.path(), {"Flags", "flagged.exe"});
    const std::string hidden = path_of(machine_.path(), {"Flags", "hidden.exe"});
    const std::string iconic = path_of(machine_.path(), {"Iconic", "icon_with_alpha.exe"});
    // Wine gives every process its own ProgramFiles, so the runtime lies below APPDATA.
    const std::string javaw = path_of(data_.path(), {".minecraft", "runtime", "jre", "javaw.exe"});
    copy_program("described_app", linked);
    copy_program("described_app", entered);
    copy_program("icon_with_alpha", iconic);
    for (const std::string& file : {flagged, hidden, javaw})
        touch(file);
    const std::string programs =
        path_of(machine_.path(), {"ProgramData", "Microsoft", "Windows", "Start Menu", "Programs"});
    ASSERT_TRUE(platform::create_directories(path_of(programs, {"Group"})));
    auto shortcut = write_shell_link(path_of(programs, {"Group", "Linked App.lnk"}), linked);
    if (!shortcut)
        GTEST_SKIP() << shortcut.error();
    ASSERT_TRUE(write_shell_link(path_of(programs, {"Iconic App.lnk"}), iconic));

    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    using platform::RegistryRoot;
    RegistryFixture entry(RegistryRoot::CurrentUser, uninstall + marker + "A");
    RegistryFixture text_flag(RegistryRoot::CurrentUser, uninstall + marker + "B");
    RegistryFixture dword_flag(RegistryRoot::CurrentUser, uninstall + marker + "C");
    ASSERT_TRUE(entry.set_string("DisplayName", marker + " Entered"));
    ASSERT_TRUE(entry.set_string("DisplayIcon", "\"" + entered + "\",0"));
    ASSERT_TRUE(text_flag.set_string("DisplayName", marker + " Flagged"));
    ASSERT_TRUE(text_flag.set_string("DisplayIcon", flagged));
    ASSERT_TRUE(text_flag.set_string("SystemComponent", "1"));
    ASSERT_TRUE(dword_flag.set_string("DisplayName", marker + " Hidden"));
    ASSERT_TRUE(dword_flag.set_string("DisplayIcon", hidden));
    ASSERT_TRUE(dword_flag.set_dword("SystemComponent", 1));

    Json reply = request(1, "scan_apps");
    auto apps = by_name(reply);
    EXPECT_EQ(apps["Linked App"], linked);
    EXPECT_EQ(apps[marker + " Entered"], entered);
    EXPECT_EQ(apps[marker + " Flagged"], flagged);
    EXPECT_EQ(apps.count(marker + " Hidden"), 0u);
    EXPECT_EQ(apps[running_name()], running_path_);
    EXPECT_EQ(apps["Java / Minecraft (javaw.exe)"], javaw);

    // The icon travels with the entry and decodes to the fixture's pixels.
    EXPECT_EQ(apps["Iconic App"], iconic);
    for (const Json& app : reply["result"]["apps"]) {
        if (app["exe_path"] != iconic)
            continue;
        auto png = png_of_icon_text(app.value("icon", ""));
        ASSERT_TRUE(png) << png.error();
        auto decoded = decode_png_reference(*png);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded->rgba, fixture_icon_pixels(FixtureIcon::WithAlpha).rgba);
    }

    auto running = by_name(request(2, "scan_running"));
    EXPECT_EQ(running[running_name()], running_path_);
    for (const auto& [name, path] : running)
        EXPECT_NE(path, linked) << "only running programs: " << name;
}

} // namespace
} // namespace kest::testing
