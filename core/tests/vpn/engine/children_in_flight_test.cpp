// The list of children the core waits on, over real processes: what is on it when the core
// ends is terminated, also under a thread that waits for it; what has left it is not touched;
// what comes after the end is terminated at once.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "platform/process.h"
#include "support/bin_dir.h"
#include "support/eventually.h"
#include "vpn/engine/children_in_flight.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;

// A child that waits for a line on its input, which it is never sent.
platform::Child start_idle() {
    platform::SpawnOptions options;
    options.program = testing::program_path("idle_program");
    auto child = platform::spawn(options);
    if (!child)
        throw std::runtime_error(child.error());
    return std::move(*child);
}

std::optional<int> exit_within(platform::Process& process, std::chrono::milliseconds limit) {
    std::optional<int> code;
    (void)testing::eventually([&] { return (code = process.try_wait()).has_value(); }, limit);
    return code;
}

TEST(ChildrenInFlight, TheEndTerminatesWhatIsListedAndSparesWhatLeft) {
    ChildrenInFlight list;
    platform::Child waited = start_idle();
    platform::Child polled = start_idle();
    platform::Child left = start_idle();
    platform::Child moved = start_idle();

    auto waited_entry = list.add(*waited.process);
    auto polled_entry = list.add(*polled.process);
    auto left_entry = list.add(*left.process);
    left_entry.reset();
    ChildrenInFlight::Registration moved_entry;
    {
        auto first = list.add(*moved.process);
        moved_entry = std::move(first); // the moved-from entry takes nothing off as it goes
    }

    // One thread blocks in the wait while the end comes from another.
    auto waiting = std::async(std::launch::async, [&] { return waited.process->wait(); });
    ASSERT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    list.end_all();

    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_NE(waiting.get(), 0);
    EXPECT_TRUE(exit_within(*polled.process, 10s));
    EXPECT_TRUE(exit_within(*moved.process, 10s));
    EXPECT_FALSE(exit_within(*left.process, 300ms)) << "taken off before the end";

    // The core is on its way out: a child started now is ended at once.
    platform::Child late = start_idle();
    auto late_entry = list.add(*late.process);
    EXPECT_TRUE(exit_within(*late.process, 10s));

    left.stdin_pipe->close(); // its input ends, and so does it
    EXPECT_EQ(exit_within(*left.process, 10s), 0);
}

} // namespace
} // namespace kest::vpn
