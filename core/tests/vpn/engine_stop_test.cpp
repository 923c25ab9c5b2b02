#include "vpn/engine_handle.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the fake engine does once its input closes.
enum class OnClosedInput { Exit, ReportStopped, Ignore };

// The engine's side, shared with the test: the process object itself goes wherever
// stop_engine sends it (a reaper thread, or away).
struct EngineSide {
    std::atomic<bool> input_closed{false};
    std::atomic<bool> exited{false};
    std::atomic<int> terminated_with{-1};
    std::atomic<bool> waited{false};
    std::atomic<bool> process_released{false};
    Clock::time_point terminated_at;
};

class FakeProcess final : public platform::Process {
public:
    explicit FakeProcess(std::shared_ptr<EngineSide> side) : side_(std::move(side)) {}
    ~FakeProcess() override { side_->process_released = true; }
    std::uint32_t pid() const override { return 1; }
    std::optional<int> try_wait() override {
        if (side_->exited)
            return 0;
        return std::nullopt;
    }
    int wait() override {
        side_->waited = true;
        return 0;
    }
    void terminate(int code) override {
        side_->terminated_at = Clock::now();
        side_->terminated_with = code;
        side_->exited = true;
    }

private:
    std::shared_ptr<EngineSide> side_;
};

class FakeInput final : public platform::PipeEnd {
public:
    FakeInput(std::shared_ptr<EngineSide> side, OnClosedInput behaviour,
              Channel<std::string>::Sender reports)
        : side_(std::move(side)), behaviour_(behaviour), reports_(std::move(reports)) {}
    ~FakeInput() override { close(); }
    platform::ReadResult read(char*, std::size_t) override { return {platform::ReadStatus::Error}; }
    bool write(std::string_view) override { return true; }
    void close() override {
        if (side_->input_closed.exchange(true))
            return;
        if (behaviour_ == OnClosedInput::Exit)
            side_->exited = true;
        if (behaviour_ == OnClosedInput::ReportStopped) {
            // Noise first: only a report of kind "stopped" hands the process over.
            reports_.send("");
            reports_.send("not a report");
            reports_.send(R"({"ok":true,"kind":"reload"})");
            reports_.send(" {\"ok\":true,\"kind\":\"stopped\",\"error\":\"\"}\r");
        }
    }

private:
    std::shared_ptr<EngineSide> side_;
    OnClosedInput behaviour_;
    Channel<std::string>::Sender reports_;
};

struct FakeEngine {
    std::shared_ptr<EngineSide> side = std::make_shared<EngineSide>();
    EngineHandle handle;

    explicit FakeEngine(OnClosedInput behaviour) {
        auto [sender, receiver] = Channel<std::string>::make();
        handle.stdin_pipe = std::make_unique<FakeInput>(side, behaviour, std::move(sender));
        handle.child = std::make_unique<FakeProcess>(side);
        handle.reports = std::move(receiver);
    }
};

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
