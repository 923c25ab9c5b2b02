#include "vpn/host/orphan_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/env.h"
#include "platform/process.h"
#include "support/fake_processes.h"
#include "support/scoped_env.h"
#include "text/ascii.h"
#include "vpn/host/adapter_identifier.h"
#include "vpn/host/device_listing.h"

namespace kest::vpn {
namespace {

TEST(AdapterIdentifier, IsTheGuidFormOfTheMd5OfWintunAndTheAdapterName) {
    // printf 'wintunkesttun' | md5sum  ->  a595429a00d018988ff8cb2b7813d210
    // D1 = bytes 0-3 little-endian, D2 and D3 = bytes 4-5 and 6-7 little-endian, then in order.
    EXPECT_EQ(adapter_identifier("kesttun"), "{9A4295A5-D000-9818-8FF8-CB2B7813D210}");
}

TEST(AdapterIdentifier, KeepsLeadingZerosAndReadsTheFirstThreeGroupsLittleEndian) {
    const platform::Md5Digest digest{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00,
                                     0x0A, 0x0B, 0x00, 0x01, 0x02, 0xFE, 0xFF, 0x10};
    EXPECT_EQ(guid_text(digest), "{00000001-0002-0003-0A0B-000102FEFF10}");
}

TEST(DeviceListing, CutsTheListingIntoDeviceBlocksAndKeepsThoseNamingTheAdapter) {
    const std::vector<std::string_view> names{"{9A4295A5-D000-9818-8FF8-CB2B7813D210}", "kesttun"};
    const struct {
        const char* what;
        std::string listing;
        std::vector<std::string> ids;
    } cases[] = {
        {"the system's layout with CRLF line ends",
         "Microsoft PnP Utility\r\n\r\n"
         "Instance ID:                SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}\r\n"
         "Device Description:         Wintun Userspace Tunnel\r\n"
         "Status:                     Disconnected\r\n\r\n"
         "Instance ID:                PCI\\VEN_8086&DEV_100E\\3&267A616A&0&18\r\n"
         "Device Description:         Intel(R) PRO/1000 MT Network Connection\r\n\r\n"
         "Instance ID:                ROOT\\NET\\0001\r\n"
         "Device Description:         KestTun\r\n",
         // The PCI device falls into the block before it: the first block is named already.
         {"SWD\\Wintun\\{9a4295a5-d000-9818-8ff8-cb2b7813d210}", "ROOT\\NET\\0001"}},
        {"an id found inside a longer line, and an adapter named in capitals",
         "Instance ID: swd\\wintun\\{1}\n  Description: KESTTUN\nx Root\\Net\\7 \t\nother",
         {"swd\\wintun\\{1}"}},
        {"\"swd\\\" wins over an earlier \"root\\\" on the same line",
         "root\\a swd\\b kesttun",
         {"swd\\b kesttun"}},
        {"a name before the first device belongs to none",
         "kesttun adapters:\nInstance ID: ROOT\\NET\\0000\nDescription: other\n",
         {}},
        {"a slash is not a backslash, and the name must be whole",
         "Instance ID: ROOT/NET/0000 kesttun\nInstance ID: SWD\\X\nkest tun\n",
         {}},
        {"the last line counts without a line end; duplicates stay",
         "SWD\\A\nkesttun\nSWD\\A\nkesttun",
         {"SWD\\A", "SWD\\A"}},
        {"invalid bytes in an id are replaced",
         "ROOT\\N\xFF\x31\nkesttun\n",
         {"ROOT\\N\xEF\xBF\xBD"
          "1"}},
        {"empty listing", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(device_ids_naming(c.listing, names), c.ids) << c.what;
    // An empty name (no digest) names nothing.
    EXPECT_EQ(device_ids_naming("ROOT\\NET\\1\nanything\n", {"", "kesttun"}),
              std::vector<std::string>{});
}

TEST(PnputilPath, IsSystem32OfSystemRootOrOfCWindows) {
    EXPECT_EQ(pnputil_path_from(std::nullopt, '\\', "pnputil.exe"),
              "C:\\Windows\\System32\\pnputil.exe");
    EXPECT_EQ(pnputil_path_from("D:\\WIN", '\\', "pnputil.exe"), "D:\\WIN\\System32\\pnputil.exe");
    EXPECT_EQ(pnputil_path_from("", '\\', "pnputil.exe"), "\\System32\\pnputil.exe");
    EXPECT_EQ(pnputil_path_from("/opt/win", '/', "pnputil"), "/opt/win/System32/pnputil");

    testing::ScopedEnv env("SystemRoot", "R");
    const char sep = platform::path_separator();
    EXPECT_EQ(pnputil_path(), std::string("R") + sep + "System32" + sep +
                                  platform::executable_file_name("pnputil"));
}

TEST(OwnFolders, AreTheExecutableFolderTheDataFolderAndTheLocalFolder) {
    using Env = std::map<std::string, std::string, std::less<>>;
    auto lookup = [](Env env) -> EnvLookup {
        return [env](std::string_view name) -> std::optional<std::string> {
            auto it = env.find(name);
            if (it == env.end())
                return std::nullopt;
            return it->second;
        };
    };
    const Env full{{"APPDATA", "C:\\U\\AppData\\Roaming"},
                   {"LOCALAPPDATA", "C:\\U\\AppData\\Local"}};
    EXPECT_EQ(own_folders_for("C:\\Program Files\\Kest\\kestcore.exe", lookup(full), '\\'),
              (std::vector<std::string>{"C:\\Program Files\\Kest",
                                        "C:\\U\\AppData\\Roaming\\Kest Connect",
                                        "C:\\U\\AppData\\Local\\Kest Connect"}));
    // No executable path, no parent folder, an empty LOCALAPPDATA.
    const Env home{{"USERPROFILE", "C:\\U"}, {"LOCALAPPDATA", ""}};
    const std::vector<std::string> from_home{"C:\\U\\.config\\Kest Connect",
                                             "C:\\U\\.cache\\Kest Connect"};
    EXPECT_EQ(own_folders_for(std::nullopt, lookup(home), '\\'), from_home);
    EXPECT_EQ(own_folders_for("kestcore.exe", lookup(home), '\\'), from_home);
    EXPECT_EQ(own_folders_for("/opt/kest/kestcore", lookup({{"HOME", "/root"}}), '/'),
              (std::vector<std::string>{"/opt/kest", "/root/.config/Kest Connect",
                                        "/root/.cache/Kest Connect"}));
}

// An in-memory system for the clean-up: processes with their paths, what terminates, whether
// the user is an administrator, and a scripted device tool.
struct FakeSystem {
    testing::FakeProcesses list;
    std::vector<std::uint32_t> unkillable;
    bool administrator = true;
    std::map<std::string, Expected<std::string>> tool_answers; // by the tool's first argument
    std::map<std::string, std::string> failing_removals;       // id -> error text

    int admin_checks = 0;
    std::vector<std::pair<std::uint32_t, int>> terminated;
    std::vector<std::vector<std::string>> tool_runs;
    std::vector<std::chrono::milliseconds> tool_limits;
    std::vector<std::string> log;

    OrphanCleanupCalls calls() {
        OrphanCleanupCalls c;
        c.processes = list.calls(1);
        c.terminate = [this](std::uint32_t pid, int code) {
            terminated.emplace_back(pid, code);
            return std::find(unkillable.begin(), unkillable.end(), pid) == unkillable.end();
        };
        c.is_administrator = [this] {
            ++admin_checks;
            return administrator;
        };
        c.run_tool = [this](const std::string& program, const std::vector<std::string>& args,
                            std::chrono::milliseconds limit) -> Expected<std::string> {
            std::vector<std::string> run{program};
            run.insert(run.end(), args.begin(), args.end());
            tool_runs.push_back(run);
            tool_limits.push_back(limit);
            if (args.at(0) == "/remove-device") {
                auto failing = failing_removals.find(args.at(1));
                if (failing != failing_removals.end())
                    return unexpected(failing->second);
                return std::string("removed");
            }
            return tool_answers.at(args.at(0));
        };
        c.log = [this](std::string_view line) { log.emplace_back(line); };
        return c;
    }
};

std::string engine(std::string_view stem) {
    return platform::executable_file_name(stem);
}

const std::string kForeignLine =
    "ℹ️ Оставлено чужих ядер sing-box (другой VPN-клиент): ";

TEST(EndOrphanEngines, EndsOwnEnginesCountsForeignOnesAndNeverTouchesTheCore) {
    FakeSystem s;
    s.list.processes = {{1, engine("vuvezozire")}, {2, text::ascii_lowercase(engine("SING-BOX"))},
                        {3, engine("SING-BOX")},   {4, engine("vuvezozire")},
                        {5, engine("vuvezozire")}, {6, engine("Vuvezozire")},
                        {7, engine("vuvezozire")}, {8, engine("sing-box")},
                        {9, engine("kestcore")},   {10, engine("sing-box2")}};
    s.list.paths = {
        {1, "C:\\Own\\Kest\\vuvezozire.exe"}, // the core itself
        {2, "C:\\OWN\\KEST\\vuvezozire.exe"}, // letter case of the folder
        {3, "C:\\U\\Roaming\\Kest Connect\\bin\\sing-box.exe"},
        {4, "C:\\Program Files\\OtherVPN\\vuvezozire.exe"},
        // 5: protected, its path cannot be read
        {6, "C:\\Own\\Kest Connect Beta\\vuvezozire.exe"}, // only begins like an own folder
        {7, "C:\\Own\\Kest\\vuvezozire.exe"},              // cannot be ended
        {8, "c:\\own\\kest\\sing-box.exe"},
        {9, "C:\\Own\\Kest\\kestcore.exe"},
        {10, "C:\\Own\\Kest\\sing-box2.exe"}};
    s.unkillable = {7};
    const std::vector<std::string> own{"C:\\Own\\Kest\\", "C:\\U\\Roaming\\Kest Connect"};
    EngineCounts counts = end_orphan_engines(own, s.calls());
    EXPECT_EQ(counts.ended, 3u);
    EXPECT_EQ(counts.foreign, 3u);
    EXPECT_EQ(s.terminated,
              (std::vector<std::pair<std::uint32_t, int>>{{2, 1}, {3, 1}, {7, 1}, {8, 1}}));
    EXPECT_EQ(s.log, (std::vector<std::string>{
                         "🧹 Завершено осиротевших ядер Kest Connect: 3",
                         kForeignLine + "3"}));
}

TEST(EndOrphanEngines, LogsOnlyTheCountsAboveZero) {
    FakeSystem foreign_only;
    foreign_only.list.processes = {{4, engine("sing-box")}};
    EXPECT_EQ(end_orphan_engines({"C:\\Own"}, foreign_only.calls()).foreign, 1u);
    EXPECT_EQ(foreign_only.log, std::vector<std::string>{kForeignLine + "1"});

    FakeSystem nothing;
    nothing.list.processes = {{4, engine("notepad")}};
    end_orphan_engines({"C:\\Own"}, nothing.calls());
    EXPECT_TRUE(nothing.log.empty());
}

const std::string kListing = "Instance ID: SWD\\Wintun\\{9A4295A5-D000-9818-8FF8-CB2B7813D210}\r\n"
                             "Description: Wintun\r\n"
                             "Instance ID: ROOT\\NET\\0000\r\n"
                             "Description: Other VPN\r\n"
                             "Instance ID: ROOT\\NET\\0001\r\n"
                             "Description: kesttun\r\n";

TEST(CleanupOrphans, RemovesTheAdapterDevicesInListingOrderAndClearsTheFlag) {
    FakeSystem s;
    s.tool_answers.emplace("/enum-devices", kListing);
    s.failing_removals.emplace("SWD\\Wintun\\{9A4295A5-D000-9818-8FF8-CB2B7813D210}", "код 5: нет");
    CleanupPending pending{true};
    OrphanCleanupSetup setup{{"C:\\Own"}, "S\\System32\\pnputil.exe", 1234ms};
    cleanup_orphans(pending, setup, s.calls());
    EXPECT_FALSE(pending.load());
    EXPECT_EQ(s.list.snapshots, 1);
    const std::string tool = setup.pnputil;
    EXPECT_EQ(s.tool_runs,
              (std::vector<std::vector<std::string>>{
                  {tool, "/enum-devices", "/class", "Net"},
                  {tool, "/remove-device", "SWD\\Wintun\\{9A4295A5-D000-9818-8FF8-CB2B7813D210}"},
                  {tool, "/remove-device", "ROOT\\NET\\0001"}}));
    EXPECT_EQ(s.tool_limits, std::vector<std::chrono::milliseconds>(3, 1234ms));
    EXPECT_EQ(s.log,
              (std::vector<std::string>{
                  "⚠️ Не удалось снять адаптер "
                  "SWD\\Wintun\\{9A4295A5-D000-9818-8FF8-CB2B7813D210}: код 5: нет",
                  "🧹 Снят осиротевший TUN-адаптер: ROOT\\NET\\0001"}));
}

TEST(CleanupOrphans, ClearsTheFlagOnEveryPathAfterTheFirstStep) {
    // Not pending: nothing runs, not even the snapshot.
    FakeSystem idle;
    CleanupPending not_pending{false};
    cleanup_orphans(not_pending, {}, idle.calls());
    EXPECT_EQ(idle.list.snapshots + idle.admin_checks, 0);
    EXPECT_TRUE(idle.tool_runs.empty());

    // Not an administrator: the engines are still looked at, the device tool is not run.
    FakeSystem user;
    user.administrator = false;
    CleanupPending pending{true};
    cleanup_orphans(pending, {}, user.calls());
    EXPECT_EQ(user.list.snapshots, 1);
    EXPECT_TRUE(user.tool_runs.empty());
    EXPECT_TRUE(user.log.empty());
    EXPECT_FALSE(pending.load());

    // A failing listing is logged once and removes nothing.
    FakeSystem broken;
    broken.tool_answers.emplace("/enum-devices", unexpected(std::string("код 5: сбой")));
    pending = true;
    cleanup_orphans(pending, {}, broken.calls());
    EXPECT_EQ(broken.tool_runs.size(), 1u);
    EXPECT_EQ(broken.log, std::vector<std::string>{"⚠️ pnputil: код 5: сбой"});
    EXPECT_FALSE(pending.load());

    // A listing that names no adapter removes nothing and logs nothing.
    FakeSystem clean;
    clean.tool_answers.emplace("/enum-devices", "Instance ID: ROOT\\NET\\0000\nDescription: x\n");
    pending = true;
    cleanup_orphans(pending, {}, clean.calls());
    EXPECT_EQ(clean.tool_runs.size(), 1u);
    EXPECT_TRUE(clean.log.empty());
    EXPECT_FALSE(pending.load());
}

} // namespace
} // namespace kest::vpn
