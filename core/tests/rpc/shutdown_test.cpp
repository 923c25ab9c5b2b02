#include "rpc/shutdown.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "support/fake_engine.h"
#include "support/stuck_process.h"
#include "vpn/engine/child_list.h"

namespace kest::rpc {
namespace {

std::shared_ptr<AppState> state_with_engine(testing::OnClosedInput behaviour) {
    auto controller = std::make_shared<vpn::VpnController>(
        vpn::StatusSink{[](vpn::VpnState, const std::string&) {}, [] {}});
    testing::FakeEngine engine(behaviour);
    testing::install_engine(*controller, std::move(engine.handle));
    return std::make_shared<AppState>(controller);
}

// The teardown's disconnect has to stop an engine that ignores its closed input, which takes
// longer than shutdown waits: the process ends at 5 s all the same, with code 0 and one line.
TEST(ShutdownDeathTest, ATeardownOverFiveSecondsIsCutShortWithALogLine) {
    EXPECT_EXIT(shutdown_once(state_with_engine(testing::OnClosedInput::Ignore)),
                ::testing::ExitedWithCode(0),
                "\\[core\\] демонтаж туннеля не уложился в 5с — выходим");
}

TEST(ShutdownDeathTest, AQuickTeardownEndsTheProcessWithoutALogLine) {
    EXPECT_EXIT(shutdown_once(state_with_engine(testing::OnClosedInput::Exit)),
                ::testing::ExitedWithCode(0), "успешно восстановлены\\.\n$");
}

// A child that a terminate does not end is logged and left: the exit still comes, a moment past
// its limit, instead of waiting for it for good.
TEST(ShutdownDeathTest, TheExitLeavesAChildThatATerminateDoesNotEnd) {
    EXPECT_EXIT(
        {
            vpn::ListedProcess stuck(std::make_unique<testing::StuckProcess>(),
                                     vpn::live_engines());
            exit_core(*state_with_engine(testing::OnClosedInput::Exit),
                      std::chrono::steady_clock::now());
        },
        ::testing::ExitedWithCode(0),
        "\\[vpn\\] процесс 4242 не завершился и после принудительной остановки — выходим без "
        "него");
}

TEST(Shutdown, ALaterCallerReturnsAtOnce) {
    auto state = state_with_engine(testing::OnClosedInput::Exit);
    std::call_once(state->shutdown_guard, [] {}); // as if another thread had begun the shutdown
    shutdown_once(state);
    EXPECT_FALSE(state->stop_requested);
    EXPECT_TRUE(state->controller->engine_held()) << "no teardown ran";
}

} // namespace
} // namespace kest::rpc
