#include "core_fixture.h"

namespace kest::testing {
namespace {

using Shutdown = CoreTest;

TEST_F(Shutdown, ShutdownRequestAnswersThenExitsWithoutTimeout) {
    send(R"({"id":1,"method":"shutdown"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":1,"result":{"ok":true}})"));
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_TRUE(log_with("[core] ").empty());
}

TEST_F(Shutdown, TwoShutdownRequestsRunOneTeardown) {
    send(R"({"id":1,"method":"shutdown"})");
    send(R"({"id":2,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    auto lines = core().stdout_lines();
    ASSERT_FALSE(lines.empty());
    int state_events = 0;
    for (const auto& line : lines) {
        Json j = Json::parse(line);
        if (j.contains("event"))
            ++state_events;
        else
            EXPECT_EQ(j["result"], Json::parse(R"({"ok":true})")) << line;
    }
    EXPECT_LE(state_events, 1);
    EXPECT_LE(log_with("[vpn] ⏳").size(), 1u);
    EXPECT_TRUE(log_with("[core] ").empty());
}

TEST_F(Shutdown, EndOfInputTearsDownAndExits) {
    core().close_stdin();
    EXPECT_EQ(core().wait_exit(5s), 0);
    EXPECT_TRUE(log_with("[core] ").empty());
}

// The way a front end quits: whichever road wins, the teardown runs to its end, and what it
// says reaches the front end before the exit.
TEST_F(Shutdown, ShutdownThenEndOfInputRunsTheTeardownAndWritesItsEvent) {
    ASSERT_TRUE(core().write(R"({"id":1,"method":"shutdown"})"
                             "\n"));
    core().close_stdin();
    EXPECT_EQ(core().wait_exit(5s), 0);
    auto lines = core().stdout_lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        R"({"event":"state","msg":"✅ Настройки сети успешно восстановлены.",)"
                        R"("state":"disconnected"})"),
              lines.end());
    EXPECT_TRUE(log_with("[core] ").empty());
}

TEST_F(Shutdown, DisconnectAnswersOkAndRestoresTheNetwork) {
    send(R"({"id":4,"method":"disconnect"})");
    Json first = next_json(), second = next_json();
    std::vector<Json> got = {first, second};
    EXPECT_NE(std::find(got.begin(), got.end(), Json::parse(R"({"id":4,"result":{"ok":true}})")),
              got.end());
    EXPECT_NE(
        std::find(
            got.begin(), got.end(),
            Json::parse(
                R"({"event":"state","msg":"✅ Настройки сети успешно восстановлены.","state":"disconnected"})")),
        got.end());
    EXPECT_EQ(log_with("[vpn] ").front(),
              "[vpn] ⏳ Полная остановка VPN и очистка системных маршрутов...");
}

} // namespace
} // namespace kest::testing
