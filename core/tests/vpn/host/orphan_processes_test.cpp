// The orphan clean-up over real processes and the real device-tool run, with the pnputil
// double standing in for the system's tool.
#include "vpn/host/orphan_cleanup.h"

#include "vpn/host/spared_processes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/env.h"
#include "platform/fs.h"
#include "platform/process_snapshot.h"
#include "platform/process_terminate.h"
#include "support/child_session.h"
#include "support/eventually.h"
#include "support/file_lines.h"
#include "support/process_running.h"
#include "support/program_copy.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "text/path_text.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using testing::ChildSession;
using testing::copy_program;

std::string joined(const std::string& folder, std::string_view name) {
    return text::join_path(folder, name, platform::path_separator());
}

std::size_t count_after(const std::string& line, std::string_view head) {
    if (!line.starts_with(head))
        return 0;
    return std::stoul(line.substr(head.size()));
}

TEST(CleanupOrphansOverRealProcesses, EndsTheEnginesBelowOwnFoldersAndLeavesTheOthers) {
    testing::TempDir dir;
    const std::string own = dir.join("Own", "Kest Connect");
    std::vector<std::unique_ptr<ChildSession>> own_engines, others;
    own_engines.push_back(
        std::make_unique<ChildSession>(copy_program("idle_program", own, "vuvezozire")));
    own_engines.push_back(std::make_unique<ChildSession>(
        copy_program("idle_program", joined(own, "bin"), "SING-BOX")));
    // A folder whose name only begins like the own folder's, another program's folder, and a
    // program of the own folder that is no engine.
    others.push_back(std::make_unique<ChildSession>(
        copy_program("idle_program", dir.join("Own", "Kest Connect Beta"), "vuvezozire")));
    others.push_back(std::make_unique<ChildSession>(
        copy_program("idle_program", dir.join("Other VPN"), "sing-box")));
    others.push_back(
        std::make_unique<ChildSession>(copy_program("idle_program", own, "kest-helper")));

    OrphanCleanupCalls calls;
    calls.is_administrator = [] { return false; };
    std::vector<std::string> log;
    calls.log = [&](std::string_view line) { log.emplace_back(line); };
    CleanupPending pending{true};
    cleanup_orphans(pending, {{own + platform::path_separator()}, "", 60s}, calls);

    EXPECT_FALSE(pending.load());
    for (auto& engine : own_engines)
        EXPECT_TRUE(engine->wait_exit(10s)) << "an own engine was ended";
    for (auto& other : others)
        EXPECT_FALSE(other->wait_exit(0ms)) << "every other program keeps running";
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "🧹 Завершено осиротевших ядер Kest Connect: 2");
    // Engines of other programs on this machine (outside this test) count as foreign too.
    const std::string foreign =
        "ℹ️ Оставлено чужих ядер sing-box (другой VPN-клиент): ";
    EXPECT_GE(count_after(log[1], foreign), 2u) << log[1];
    // The others end when the test does: ChildSession closes their input and waits.
}

TEST(CleanupOrphansOverRealProcesses, LeavesTheRestoreRunTheCoreStillWaitsFor) {
    testing::TempDir dir;
    const std::string own = dir.join("Kest Connect");
    platform::SpawnOptions options;
    options.program = copy_program("idle_program", own, "vuvezozire"); // waits for its input
    auto restore = spared_processes().spawn(options);
    ASSERT_TRUE(restore) << restore.error();
    platform::Process& process = *restore->child.process;

    OrphanCleanupCalls calls;
    calls.is_administrator = [] { return false; };
    std::vector<std::string> log;
    calls.log = [&](std::string_view line) { log.emplace_back(line); };
    CleanupPending pending{true};
    const OrphanCleanupSetup setup{{own}, "", 60s};
    cleanup_orphans(pending, setup, calls);
    EXPECT_FALSE(process.try_wait()) << "the restore run was ended as an orphan";
    for (const auto& line : log)
        EXPECT_FALSE(line.starts_with("🧹")) << line;

    // Once the core no longer waits for it, the same process is an orphan like any other.
    restore->registration = {};
    pending = true;
    log.clear();
    cleanup_orphans(pending, setup, calls);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "🧹 Завершено осиротевших ядер Kest Connect: 1");
    EXPECT_TRUE(testing::eventually([&] { return process.try_wait().has_value(); }, 10s));
}

// The double placed as System32\pnputil under a folder that becomes "SystemRoot", with its
// control folder. A copy that the tool left holding its output ends with the double.
class PnputilDouble {
public:
    PnputilDouble() : control_(root_.join("control")) {
        copy_program("pnputil", root_.join("System32"), "pnputil");
        (void)platform::create_directories(control_);
        env_.set("SystemRoot", root_.path());
        env_.set("KEST_PNPUTIL_DIR", control_);
    }
    PnputilDouble(const PnputilDouble&) = delete;
    PnputilDouble& operator=(const PnputilDouble&) = delete;

    ~PnputilDouble() {
        if (auto holder = holder_pid(); holder && testing::process_running(*holder)) {
            (void)platform::terminate_process(*holder, 1);
            // Its program file lies in the folder about to be removed.
            EXPECT_TRUE(
                testing::eventually([&] { return !testing::process_running(*holder); }, 10s));
        }
    }

    void put(std::string_view name, std::string_view bytes) {
        ASSERT_TRUE(platform::write_file(joined(control_, name), bytes));
    }

    // One line per run, the arguments joined by tabs.
    std::vector<std::string> runs() const {
        return testing::file_lines(joined(control_, "calls.txt"));
    }

    std::uint32_t last_pid() const {
        return static_cast<std::uint32_t>(
            std::stoul(platform::read_file(joined(control_, "pid.txt")).value()));
    }

    std::optional<std::uint32_t> holder_pid() const {
        auto text = platform::read_file(joined(control_, "holder_pid.txt"));
        if (!text || text->empty())
            return std::nullopt;
        return static_cast<std::uint32_t>(std::stoul(*text));
    }

private:
    testing::TempDir root_;
    std::string control_;
    testing::ScopedEnv env_;
};

// Clean-up calls that see no engines, run as an administrator and collect the log.
OrphanCleanupCalls adapter_only_calls(std::vector<std::string>& log) {
    OrphanCleanupCalls calls;
    calls.processes.snapshot = [] { return std::vector<platform::SnapshotProcess>{}; };
    calls.is_administrator = [] { return true; };
    calls.log = [&log](std::string_view line) { log.emplace_back(line); };
    return calls;
}

OrphanCleanupSetup tool_setup(std::chrono::milliseconds limit = 60s) {
    return {{}, pnputil_path(), limit};
}

TEST(CleanupOrphansWithTheDeviceTool, RemovesTheDevicesNamingTheAdapterOneByOne) {
    PnputilDouble tool;
    tool.put("listing", "Microsoft PnP Utility\r\n\r\n"
                        "Instance ID:                SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-"
                        "cb2b7813d210}\r\n"
                        "Device Description:         Wintun Userspace Tunnel\r\n\r\n"
                        "Instance ID:                ROOT\\NET\\0000\r\n"
                        "Device Description:         Other VPN Adapter\r\n\r\n"
                        "Instance ID:                ROOT\\NET\\0001\r\n"
                        "Device Description:         KestTun\r\n");
    tool.put("remove_fail", "SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}\n");
    std::vector<std::string> log;
    CleanupPending pending{true};
    cleanup_orphans(pending, tool_setup(), adapter_only_calls(log));

    EXPECT_FALSE(pending.load());
    EXPECT_EQ(tool.runs(),
              (std::vector<std::string>{
                  "/enum-devices\t/class\tNet",
                  "/remove-device\tSWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}",
                  "/remove-device\tROOT\\NET\\0001"}));
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "⚠️ Не удалось снять адаптер "
                  "SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}: код 3: Failed to "
                  "remove device: SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}",
                  "🧹 Снят осиротевший TUN-адаптер: ROOT\\NET\\0001"}));
}

TEST(CleanupOrphansWithTheDeviceTool, LogsAFailingListingOnceAndRemovesNothing) {
    PnputilDouble tool;
    tool.put("listing", "  сбой перечисления \xFF\r\nInstance ID: ROOT\\NET\\0001 kesttun\r\n");
    tool.put("enum_exit", "5");
    std::vector<std::string> log;
    CleanupPending pending{true};
    cleanup_orphans(pending, tool_setup(), adapter_only_calls(log));
    EXPECT_FALSE(pending.load());
    EXPECT_EQ(tool.runs().size(), 1u);
    // Standard error is dropped; the output is decoded with the bad byte replaced and trimmed.
    EXPECT_EQ(log,
              std::vector<std::string>{
                  "⚠️ pnputil: код 5: сбой перечисления \xEF\xBF\xBD\r\n"
                  "Instance ID: ROOT\\NET\\0001 kesttun"});
}

TEST(CleanupOrphansWithTheDeviceTool, EndsAToolThatOutlivesItsTimeLimit) {
    PnputilDouble tool;
    tool.put("enum_hang", "");
    std::vector<std::string> log;
    CleanupPending pending{true};
    cleanup_orphans(pending, tool_setup(1s), adapter_only_calls(log));
    EXPECT_FALSE(pending.load());
    const std::string ended =
        "⚠️ pnputil: программа не завершилась за 1 с и была "
        "остановлена";
    EXPECT_EQ(log, std::vector<std::string>{ended});
    const std::uint32_t pid = tool.last_pid();
    for (const auto& process : platform::process_snapshot())
        EXPECT_NE(process.pid, pid) << "the tool was ended";
}

TEST(CleanupOrphansWithTheDeviceTool, LogsAToolThatCannotBeStarted) {
    testing::TempDir empty_root;
    testing::ScopedEnv env("SystemRoot", empty_root.path());
    std::vector<std::string> log;
    CleanupPending pending{true};
    cleanup_orphans(pending, tool_setup(), adapter_only_calls(log));
    EXPECT_FALSE(pending.load());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].starts_with("⚠️ pnputil: ")) << log[0];
    EXPECT_GT(log[0].size(), std::string_view("⚠️ pnputil: ").size())
        << "with the system's text";
}

TEST(RunHidden, GivesTheExactOutputBytesOfASuccessfulRun) {
    PnputilDouble tool;
    const std::string listing = std::string("line one\r\n\xFF raw \x00 bytes\n  trailing  ", 36);
    tool.put("listing", listing);
    auto out = run_hidden(pnputil_path(), {"/enum-devices", "/class", "Net"});
    ASSERT_TRUE(out) << out.error();
    EXPECT_EQ(*out, listing) << "unchanged, and without the tool's standard error";
}

// A tool may hand its output down to a child of its own that outlives it. The run ends at its
// limit all the same, with that child still holding the output, whether the tool hangs or has
// already exited.
TEST(RunHidden, EndsAtItsLimitWhileAChildOfTheToolHoldsTheOutput) {
    constexpr auto limit = 2s;
    // Far above the time to end the tool, far below the 60 s that the child holds the output.
    constexpr auto margin = 8s;
    const struct {
        std::string_view name;
        bool tool_hangs;
    } cases[] = {{"the tool hangs", true}, {"the tool has exited", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PnputilDouble tool;
        tool.put("enum_hold", "60000");
        if (c.tool_hangs)
            tool.put("enum_hang", "");
        const auto started = std::chrono::steady_clock::now();
        auto out = run_hidden(pnputil_path(), {"/enum-devices", "/class", "Net"}, limit);
        const auto took = std::chrono::steady_clock::now() - started;

        const auto holder = tool.holder_pid();
        ASSERT_TRUE(holder) << "the tool started no child within the limit";
        EXPECT_TRUE(testing::process_running(*holder)) << "the child held the output to the end";
        EXPECT_LT(took, limit + margin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        ASSERT_FALSE(out);
        EXPECT_EQ(out.error(), "программа не завершилась за 2 с и была остановлена");
    }
}

} // namespace
} // namespace kest::vpn
