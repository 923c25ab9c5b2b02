#include "platform/process.h"

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/bin_dir.h"
#include "support/child_session.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "json/json.h"

namespace kest::platform {
namespace {

using namespace std::chrono_literals;

// A child must receive its own three pipe ends and nothing else of ours: an engine that
// inherited the core's standard output would keep the front end's pipe open after the core
// has gone.
TEST(Spawn, AChildInheritsOnlyItsOwnStreams) {
    const std::string relay = testing::program_path("spawn_and_exit");
    testing::ChildSession parent(relay, {relay, "--sleep", "6000"});
    // The parent prints nothing and exits at once; its output must close with it while the
    // grandchild it started still runs.
    EXPECT_EQ(parent.next_line(3s), std::nullopt);
    EXPECT_TRUE(parent.stdout_closed());
    EXPECT_EQ(parent.wait_exit(), 0);
}

// The engine double records the arguments it was given, as the system split its command line.
TEST(Spawn, PassesEveryArgumentUnchanged) {
    testing::TempDir dir;
    const std::string record = dir.join("record.txt");
    testing::ScopedEnv env("KEST_DOUBLE_RECORD", record);
    const std::vector<std::string> args = {
        dir.join("Kest Connect", "vpn_config.json"), // a space, as in the real data folder
        "",
        R"(quote " and \" and \)",
        "C:\\Пользователи\\файл 😀.json\\",
        "tab\tend",
    };
    testing::ChildSession engine(testing::program_path("vuvezozire"), args);
    ASSERT_TRUE(engine.wait_exit());
    auto recorded = read_file(record);
    ASSERT_TRUE(recorded) << recorded.error();
    EXPECT_EQ(Json::parse(recorded->substr(0, recorded->find('\n'))), Json(args));
}

} // namespace
} // namespace kest::platform
