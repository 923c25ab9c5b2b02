#include "vpn/host/connection_reset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "support/child_session.h"
#include "support/fake_processes.h"
#include "support/program_copy.h"
#include "support/temp_dir.h"

namespace kest::vpn {
namespace {

using config::RoutePlan;
using platform::TcpRow;

RoutePlan plan_of(std::vector<std::string> names, std::vector<std::string> paths,
                  std::vector<std::string> folders) {
    RoutePlan plan;
    for (const auto& n : names)
        plan.process_names.append(n);
    for (const auto& p : paths)
        plan.exe_paths.append(p);
    for (const auto& f : folders)
        plan.folders.append(f);
    return plan;
}

TEST(RuleAppMatcher, MatchesByFileNamePathOrFolderPrefix) {
    const RoutePlan plan = plan_of({"TELEGRAM.EXE"}, {"C:\\Games\\Steam\\steam.exe"},
                                   {"C:\\Tools", "D:\\Игры\\", "E:/Portable/Apps"});
    RuleAppMatcher matcher(plan, '\\');
    const struct {
        const char* path;
        bool matches;
    } cases[] = {
        {"C:\\Users\\me\\AppData\\Roaming\\Telegram Desktop\\telegram.exe", true},
        {"telegram.exe", true},
        {"C:\\x\\telegram.exe.bak", false},
        {"c:\\games\\steam\\STEAM.EXE", true},
        {"C:\\Games\\Steam\\steamwebhelper.exe", false},
        {"C:\\Tools\\curl.exe", true},
        {"c:\\tools\\sub\\deeper\\x.exe", true},
        {"C:\\Toolbox\\x.exe", false}, // a sibling that only begins like the folder
        {"C:\\Tools", false},
        {"d:\\ИГРЫ\\game.exe", true}, // the folder rule lowers beyond ASCII
        {"D:\\Игрыы\\game.exe", false},
        {"E:/Portable/Apps\\tool.exe", true}, // only the trailing separator is the rule's own
        {"E:\\Portable\\Apps\\tool.exe", false},
        {"C:/Tools/curl.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matcher.matches(c.path), c.matches) << c.path;

    // The file-name and path rules fold only ASCII letters.
    RuleAppMatcher cyrillic(plan_of({"Ёлка.exe"}, {"C:\\Я\\a.exe"}, {}), '\\');
    EXPECT_TRUE(cyrillic.matches("C:\\x\\Ёлка.EXE"));
    EXPECT_FALSE(cyrillic.matches("C:\\x\\ёлка.exe"));
    EXPECT_FALSE(cyrillic.matches("C:\\я\\a.exe"));
}

// An in-memory system: processes with their paths, a TCP table and the entries deleted.
struct FakeSystem {
    testing::FakeProcesses list;
    std::vector<TcpRow> rows;
    bool deleting_allowed = true;
    int table_queries = 0;
    std::vector<TcpRow> set_calls;
    std::vector<std::string> log;

    ConnectionResetCalls calls() {
        ConnectionResetCalls c;
        c.processes = list.calls(7);
        c.query_table = [this](std::span<std::uint8_t> buffer) {
            ++table_queries;
            std::vector<std::uint32_t> fields{static_cast<std::uint32_t>(rows.size())};
            for (const auto& r : rows)
                fields.insert(fields.end(), {r.state, r.local_addr, r.local_port, r.remote_addr,
                                             r.remote_port, r.owning_pid});
            const std::size_t size = fields.size() * 4;
            if (buffer.size() < size)
                return platform::TcpTableAnswer{false, static_cast<std::uint32_t>(size)};
            std::memcpy(buffer.data(), fields.data(), size);
            return platform::TcpTableAnswer{true, static_cast<std::uint32_t>(size)};
        };
        c.set_entry = [this](const TcpRow& row) {
            set_calls.push_back(row);
            return deleting_allowed;
        };
        c.log = [this](std::string_view line) { log.emplace_back(line); };
        return c;
    }
};

FakeSystem browser_and_core() {
    FakeSystem s;
    s.list.processes = {{7, "kestcore.exe"},
                        {10, "firefox.exe"},
                        {11, "firefox.exe"},
                        {12, "curl.exe"},
                        {13, "Firefox.exe"}};
    s.list.paths = {{7, "C:\\Kest\\firefox.exe"},
                    {10, "C:\\Program Files\\Mozilla Firefox\\firefox.exe"},
                    {11, "C:\\Program Files\\Mozilla Firefox\\firefox.exe"},
                    {12, "C:\\Windows\\System32\\curl.exe"}};
    // pid 13 cannot be queried: its snapshot name fits, but only the path counts.
    s.rows = {{5, 0x0100007F, 0x1111, 0x08080808, 0xBB01, 10},
              {2, 0, 0x2222, 0, 0, 11},
              {5, 0x0100007F, 0x3333, 0x08080808, 0xBB01, 12},
              {5, 0x0100007F, 0x4444, 0x08080808, 0xBB01, 7},
              {5, 0x0100007F, 0x5555, 0x08080808, 0xBB01, 13},
              {11, 0x0100007F, 0x6666, 0x01010101, 0x5000, 10}};
    return s;
}

TEST(ResetRuleAppConnections, DeletesEveryRowOfTheMatchingProcessesAndLogsTheCount) {
    FakeSystem s = browser_and_core();
    EXPECT_EQ(reset_rule_app_connections(plan_of({"FIREFOX.EXE"}, {}, {}), s.calls()), 3u);
    // Whatever their state, with the delete state and every address field unchanged; the
    // core's own row (pid 7) and the unqueryable process's row stay.
    std::vector<TcpRow> expected{{12, 0x0100007F, 0x1111, 0x08080808, 0xBB01, 10},
                                 {12, 0, 0x2222, 0, 0, 11},
                                 {12, 0x0100007F, 0x6666, 0x01010101, 0x5000, 10}};
    EXPECT_EQ(s.set_calls, expected);
    EXPECT_EQ(s.log, (std::vector<std::string>{"🔁 Сброшено соединений у приложений из правил: 3"}));
}

TEST(ResetRuleAppConnections, CountsOnlyTheDeletionsTheSystemGranted) {
    FakeSystem s = browser_and_core();
    s.deleting_allowed = false;
    EXPECT_EQ(reset_rule_app_connections(plan_of({}, {}, {"c:\\windows\\"}), s.calls()), 0u);
    EXPECT_EQ(s.set_calls.size(), 1u) << "every row is still tried";
    EXPECT_TRUE(s.log.empty());
}

TEST(ResetRuleAppConnections, LooksNoFurtherThanItMust) {
    // A plan without applications does not even take the snapshot.
    FakeSystem sites = browser_and_core();
    RoutePlan plan;
    plan.domains.append("example.com");
    plan.ip_cidrs.append("10.0.0.0/8");
    plan.geosite_names.append("youtube");
    EXPECT_EQ(reset_rule_app_connections(plan, sites.calls()), 0u);
    EXPECT_EQ(sites.list.snapshots, 0);

    // No running process matches: the table is never read.
    FakeSystem none = browser_and_core();
    EXPECT_EQ(reset_rule_app_connections(plan_of({"telegram.exe"}, {}, {}), none.calls()), 0u);
    EXPECT_EQ(none.list.snapshots, 1);
    EXPECT_EQ(none.table_queries, 0);

    // The core itself never counts, even when it is named in the plan.
    FakeSystem self = browser_and_core();
    EXPECT_EQ(reset_rule_app_connections(plan_of({}, {"C:\\Kest\\firefox.exe"}, {}), self.calls()),
              0u);
    EXPECT_EQ(self.table_queries, 0);
}

// The real process list, image paths and table calls, on a child of its own folder that holds
// no connection (other programs' connections stay out of reach of the plan).
TEST(ResetRuleAppConnections, RunsOverTheRealSystemWithoutCuttingAnything) {
    testing::TempDir dir;
    const std::string folder = dir.join("Reset Probe");
    const std::string program = testing::copy_program("idle_program", folder, "idle_program");
    testing::ChildSession child(program);
    ConnectionResetCalls calls;
    std::vector<TcpRow> set_calls;
    calls.set_entry = [&, real = calls.set_entry](const TcpRow& row) {
        set_calls.push_back(row);
        return real(row);
    };
    std::vector<std::string> log;
    calls.log = [&](std::string_view line) { log.emplace_back(line); };
    RoutePlan plan = plan_of({}, {}, {folder});
    EXPECT_EQ(reset_rule_app_connections(plan, calls), 0u);
    EXPECT_TRUE(set_calls.empty());
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(child.wait_exit(std::chrono::milliseconds(0))) << "the child keeps running";
}

} // namespace
} // namespace kest::vpn
