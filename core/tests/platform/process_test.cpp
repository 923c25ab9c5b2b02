#include "platform/process.h"

#include <gtest/gtest.h>

#include "support/bin_dir.h"
#include "support/child_session.h"

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

} // namespace
} // namespace kest::platform
