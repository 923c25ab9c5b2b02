#include "platform/process.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

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

// A read pending on a cancellable output end returns at the cancel, although the child still
// holds the pipe open, and every later read fails at once. The cancel comes before the reader
// has begun its read, and while it waits in it.
TEST(Spawn, ACancelEndsAReadOfAnOutputThatStaysOpen) {
    for (auto delay : {0ms, 300ms}) {
        SCOPED_TRACE("cancel after " + std::to_string(delay.count()) + " ms");
        SpawnOptions options;
        options.program = testing::program_path("idle_program"); // silent until a line comes in
        options.cancellable_output = true;
        auto spawned = spawn(options);
        ASSERT_TRUE(spawned) << spawned.error();
        Child child = std::move(*spawned);
        std::promise<ReadResult> done;
        auto pending = done.get_future();
        std::thread reader([&] {
            char buf[64];
            done.set_value(child.stdout_pipe->read(buf, sizeof buf));
        });
        std::this_thread::sleep_for(delay);
        child.stdout_pipe->cancel();
        const bool returned = pending.wait_for(10s) == std::future_status::ready;
        const bool child_ran = !child.process->try_wait();
        // Ending the child closes its end, which frees a read the cancel missed.
        child.process->terminate(1);
        child.process->wait();
        reader.join();
        ASSERT_TRUE(returned) << "the read waited on past the cancel";
        EXPECT_TRUE(child_ran) << "the child held its output open throughout";
        ReadResult first = pending.get();
        EXPECT_EQ(first.status, ReadStatus::Error);
        EXPECT_FALSE(first.error.empty()) << "with the system's text";
        char buf[64];
        ReadResult later = child.stdout_pipe->read(buf, sizeof buf);
        EXPECT_EQ(later.status, ReadStatus::Error);
        EXPECT_EQ(later.error, first.error);
    }
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
