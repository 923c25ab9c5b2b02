#include "vpn/engine/engine_handle.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "support/fake_engine.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using testing::FakeEngine;
using testing::OnClosedInput;

// Runs stop_engine and tells how long it took.
Clock::duration stop(EngineHandle& handle) {
    auto start = Clock::now();
    stop_engine(handle);
    return Clock::now() - start;
}

TEST(StopEngine, AnEngineThatExitsOnItsClosedInputIsLeftAlone) {
    FakeEngine engine(OnClosedInput::Exit);
    EXPECT_LT(stop(engine.handle), 1s);
    EXPECT_TRUE(engine.side->input_closed);
    EXPECT_FALSE(engine.handle.stdin_pipe);
    EXPECT_EQ(engine.side->terminated_with, -1);
    EXPECT_TRUE(engine.handle.child) << "an exited process stays in the handle for its drop";
}

TEST(StopEngine, WithoutAProcessOnlyTheInputIsClosed) {
    FakeEngine engine(OnClosedInput::Ignore);
    engine.handle.child.reset();
    EXPECT_LT(stop(engine.handle), 1s);
    EXPECT_TRUE(engine.side->input_closed);
}

TEST(StopEngine, AStoppedReportHandsTheProcessToAReaperThatEndsItAfterFiveSeconds) {
    FakeEngine engine(OnClosedInput::ReportStopped);
    auto start = Clock::now();
    EXPECT_LT(stop(engine.handle), 1s);
    EXPECT_FALSE(engine.handle.child);
    EXPECT_EQ(engine.side->terminated_with, -1) << "the reaper gives the engine time first";
    for (int i = 0; i < 100 && !engine.side->process_released; ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine.side->process_released);
    EXPECT_EQ(engine.side->terminated_with, 1);
    EXPECT_TRUE(engine.side->waited);
    EXPECT_GE(engine.side->terminated_at - start, 4900ms);
}

TEST(StopEngine, AnEngineThatIgnoresItsClosedInputIsTerminatedAfterFiveSeconds) {
    FakeEngine engine(OnClosedInput::Ignore);
    auto took = stop(engine.handle);
    EXPECT_GE(took, 4900ms);
    EXPECT_LT(took, 7s);
    EXPECT_EQ(engine.side->terminated_with, 1);
    EXPECT_TRUE(engine.side->waited);
    EXPECT_FALSE(engine.handle.child);
    EXPECT_TRUE(engine.side->process_released);
}

} // namespace
} // namespace kest::vpn
