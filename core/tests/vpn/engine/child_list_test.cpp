// The lists of children the core ends on its way out, over real processes: what is on one when
// the core ends is terminated, also under a thread that waits for it; what has left it is not
// touched; what comes after the end is terminated at once; what ends on its own before the
// deadline is not counted as terminated.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/bin_dir.h"
#include "support/eventually.h"
#include "support/stuck_process.h"
#include "vpn/engine/child_list.h"

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

using Clock = std::chrono::steady_clock;

// How many the end terminated; every one it ended is gone well within the time it gives them.
std::size_t terminated_by_end(ChildList& list, Clock::time_point deadline) {
    ChildList::Ending ending = list.end_all(deadline, std::max(deadline, Clock::now()) + 20s);
    EXPECT_TRUE(ending.left_running.empty());
    return ending.terminated;
}

TEST(ChildList, TheEndTerminatesWhatIsListedAndSparesWhatLeft) {
    ChildList list;
    platform::Child waited = start_idle();
    platform::Child polled = start_idle();
    platform::Child left = start_idle();
    platform::Child moved = start_idle();

    auto waited_entry = list.add(*waited.process);
    auto polled_entry = list.add(*polled.process);
    auto left_entry = list.add(*left.process);
    left_entry.reset();
    ChildList::Registration moved_entry;
    {
        auto first = list.add(*moved.process);
        moved_entry = std::move(first); // the moved-from entry takes nothing off as it goes
    }

    // One thread blocks in the wait while the end comes from another.
    auto waiting = std::async(std::launch::async, [&] { return waited.process->wait(); });
    ASSERT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(terminated_by_end(list, Clock::now()), 3u);

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

TEST(ChildList, TheEndWaitsForTheDeadlineAndTerminatesOnlyWhatIsStillRunning) {
    ChildList list;
    platform::Child leaving = start_idle();
    platform::Child staying = start_idle();
    auto leaving_process = std::make_unique<ListedProcess>(std::move(leaving.process), list);
    ListedProcess staying_process(std::move(staying.process), list);
    {
        // Gone before the end: it is off the list with its object.
        platform::Child dropped = start_idle();
        ListedProcess dropped_process(std::move(dropped.process), list);
    }

    auto quitter = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(300ms);
        leaving.stdin_pipe->close();
    });
    auto started = Clock::now();
    EXPECT_EQ(terminated_by_end(list, started + 3s), 1u)
        << "only the one still running at the deadline";
    EXPECT_GE(Clock::now() - started, 3s);
    quitter.get();
    EXPECT_EQ(leaving_process->try_wait(), 0) << "left on its own before the deadline";
    EXPECT_NE(staying_process.try_wait(), std::nullopt);
    EXPECT_NE(staying_process.try_wait(), 0);
}

TEST(ChildList, TheEndComesBeforeTheDeadlineWhenEveryChildHasLeft) {
    ChildList list;
    platform::Child child = start_idle();
    ListedProcess process(std::move(child.process), list);
    child.stdin_pipe->close();
    auto started = Clock::now();
    EXPECT_EQ(terminated_by_end(list, started + 30s), 0u);
    EXPECT_LT(Clock::now() - started, 20s);
    EXPECT_EQ(process.try_wait(), 0);
}

// An engine stop and the core's exit may end one engine at the same moment: the kill happens,
// and is counted, once.
TEST(ChildList, AProcessIsTerminatedThroughTheListOnce) {
    ChildList list;
    platform::Child listed = start_idle();
    ListedProcess process(std::move(listed.process), list);
    EXPECT_TRUE(list.terminate(process));
    EXPECT_FALSE(list.terminate(process)) << "terminated before";
    EXPECT_EQ(terminated_by_end(list, Clock::now()), 0u) << "the stop's kill is not the exit's";
    EXPECT_NE(process.try_wait(), std::nullopt) << "ended and waited for";

    platform::Child ended = start_idle();
    ended.stdin_pipe->close();
    EXPECT_EQ(ended.process->wait(), 0);
    EXPECT_FALSE(list.terminate(*ended.process)) << "not listed, and ended already";
}

// A child that does not end after it was terminated holds the end only until its bound: it is
// terminated once, named as left running, and the one beside it is ended as usual.
TEST(ChildList, TheEndGivesUpOnAChildThatATerminateDoesNotEnd) {
    ChildList list;
    testing::StuckProcess stuck;
    platform::Child child = start_idle();
    auto stuck_entry = list.add(stuck);
    auto child_entry = list.add(*child.process);
    auto started = Clock::now();
    ChildList::Ending ending = list.end_all(started, started + 500ms);
    auto took = Clock::now() - started;
    EXPECT_EQ(ending.terminated, 2u);
    EXPECT_EQ(ending.left_running, std::vector<std::uint32_t>{testing::StuckProcess::kPid});
    EXPECT_EQ(stuck.terminations, 1);
    EXPECT_GE(took, 500ms) << "given its time to end";
    EXPECT_LT(took, 10s) << "held past its bound";
    EXPECT_TRUE(exit_within(*child.process, 10s));
}

} // namespace
} // namespace kest::vpn
