#include "core_fixture.h"

namespace kest::testing {
namespace {

using RequestLoop = CoreTest;

TEST_F(RequestLoop, BlankLinesAndByteOrderMarksGiveNothing) {
    const std::string bom = "\xEF\xBB\xBF";
    ASSERT_TRUE(core().write("\n \t \n\r\n" + bom + bom + "\n\xC2\xA0\xE3\x80\x80\n"));
    ASSERT_TRUE(core().write(bom + bom + "{\"id\":1,\"method\":\"ping\"}\r\n"));
    EXPECT_EQ(next_json(), Json::parse(R"({"id":1,"result":{"ok":true}})"));
    ASSERT_TRUE(core().write(" " + bom + "{\"id\":2,\"method\":\"ping\"}\n"));
    sync(3);
    EXPECT_TRUE(unexpected_.empty());
    // The log travels on its own pipe: the answer to the sync ping can overtake it.
    EXPECT_TRUE(core().wait_stderr_lines(1));
    auto rpc = log_with("[rpc] ");
    ASSERT_EQ(rpc.size(), 1u);
    EXPECT_EQ(rpc[0].rfind("[rpc] неразобранный запрос: ", 0), 0u) << rpc[0];
    EXPECT_EQ(core().stderr_lines().size(), 1u);
}

TEST_F(RequestLoop, ObjectAndArrayFormsWithDefaults) {
    send(R"({"method":"ping"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":0,"result":{"ok":true}})"));
    send(R"([7,"ping",{"ignored":[1]}])");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":7,"result":{"ok":true}})"));
    send(R"([])");
    EXPECT_EQ(next_json(), Json::parse(R"({"error":"неизвестный метод: ","id":0})"));
    send(R"({"id":1,"method":"ping","x":{"a":[1,2]},"x":3})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":1,"result":{"ok":true}})"));
    send(R"({"id":2,"method":"Ping"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"error":"неизвестный метод: Ping","id":2})"));
    send(R"({"id":3,"method":"ping ","params":"x"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"error":"неизвестный метод: ping ","id":3})"));
}

TEST_F(RequestLoop, EveryInvalidLineIsLoggedOnceAndAnsweredNever) {
    const std::vector<std::string> invalid = {
        R"({"id":1,"id":2,"method":"ping"})",
        R"({"id":-1,"method":"ping"})",
        R"({"id":1.5,"method":"ping"})",
        R"({"id":"1","method":"ping"})",
        R"({"id":1,"method":null})",
        R"([1,"ping",null,4])",
        R"("ping")",
        R"({"id":1,"method":"ping"} x)",
        R"({"id":1,"method":"ping")",
        R"(nonsense)",
    };
    for (const auto& line : invalid)
        send(line);
    sync(99);
    EXPECT_TRUE(unexpected_.empty()) << unexpected_.size() << " unexpected answers";
    EXPECT_TRUE(core().wait_stderr_lines(invalid.size()));
    auto rpc = log_with("[rpc] ");
    ASSERT_EQ(rpc.size(), invalid.size());
    static const std::regex described(R"(^\[rpc\] неразобранный запрос: .+ at line 1 column \d+$)");
    for (const auto& line : rpc)
        EXPECT_TRUE(std::regex_match(line, described)) << line;
}

TEST_F(RequestLoop, ReadsA2MiBLineWhole) {
    std::string big(2 * 1024 * 1024, 'x');
    send(R"({"params":")" + big + R"(","id":5,"method":"ping"})");
    EXPECT_EQ(next_json(30s), Json::parse(R"({"id":5,"result":{"ok":true}})"));
}

TEST_F(RequestLoop, WritesFullIdsEscapesAndByteOrderedKeys) {
    send(R"({"id":18446744073709551615,"method":"нет \"такого\"\\\n\u0001 😀 /"})");
    auto line = core().next_line();
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "{\"error\":\"неизвестный метод: нет \\\"такого\\\"\\\\\\n\\u0001 😀 "
                     "/\",\"id\":18446744073709551615}");
    send(R"({"id":4,"method":"memstats"})");
    line = core().next_line();
    ASSERT_TRUE(line);
    static const std::regex memstats(R"(^\{"id":4,"result":\{"rss":\d+,"threads":0\}\}$)");
    EXPECT_TRUE(std::regex_match(*line, memstats)) << *line;
}

TEST_F(RequestLoop, ALastLineWithoutNewlineIsHandledBeforeTheEnd) {
    // An unparsable line is the one whose handling shows on the main thread itself: a request
    // thread may still be running when the end of input shuts the core down.
    ASSERT_TRUE(core().write(R"({"id":8,"method":"ping"} trailing)"));
    core().close_stdin();
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_EQ(log_with("[rpc] неразобранный запрос: ").size(), 1u);
}

TEST_F(RequestLoop, ALineThatIsNotUtf8EndsTheLoop) {
    sync(1);
    ASSERT_TRUE(core().write("{\"id\":2,\"method\":\"ping\xC3\x28\"}\n"
                             "{\"id\":3,\"method\":\"ping\"}\n"));
    EXPECT_EQ(core().wait_exit(), 0);
    for (const auto& line : core().stdout_lines())
        EXPECT_EQ(line.find("\"id\":3"), std::string::npos) << line;
    EXPECT_TRUE(log_with("[rpc] ").empty());
}

TEST_F(RequestLoop, ConcurrentResponsesAndEventsStayWholeLines) {
    constexpr int kRounds = 20;
    std::string burst;
    for (int i = 0; i < kRounds; ++i) {
        burst += R"({"id":)" + std::to_string(100 + i) +
                 R"(,"method":"disconnect"})"
                 "\n";
        burst += R"({"id":)" + std::to_string(200 + i) +
                 R"(,"method":"is_connected"})"
                 "\n";
    }
    ASSERT_TRUE(core().write(burst));
    int disconnects = 0, others = 0, events = 0;
    auto take = [&](const Json& j) {
        if (j.contains("event")) {
            EXPECT_EQ(j, Json::parse(R"({"event":"state","msg":"✅ Настройки сети успешно )"
                                     R"(восстановлены.","state":"disconnected"})"));
            ++events;
        } else if (j["id"].get<int>() < 200) {
            EXPECT_EQ(j["result"], Json::parse(R"({"ok":true})"));
            ++disconnects;
        } else {
            EXPECT_EQ(j["result"], Json::parse(R"({"connected":false})"));
            ++others;
        }
    };
    while (disconnects < kRounds || others < kRounds) {
        Json j = next_json();
        ASSERT_FALSE(j.is_null() || j.is_discarded()) << "a line was lost or mixed";
        take(j);
    }
    // Disconnects that waited together are answered at once and only the newest runs, so
    // there is at least one event and at most one per request; the last may trail its answer.
    while (auto line = core().next_line(500ms)) {
        Json j = Json::parse(*line, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << *line;
        take(j);
    }
    EXPECT_GE(events, 1);
    EXPECT_LE(events, kRounds);
}

TEST_F(RequestLoop, TrafficWithoutASessionIsZeroAndPrewarmAnswersAtOnce) {
    send(R"({"id":1,"method":"traffic"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":1,"result":{"down":0,"ok":false,"up":0}})"));
    send(R"({"id":2,"method":"prewarm_apps"})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":2,"result":{"ok":true}})"));
    send(R"({"id":3,"method":"release_apps_cache","params":[1,2]})");
    EXPECT_EQ(next_json(), Json::parse(R"({"id":3,"result":{"ok":true}})"));
}

} // namespace
} // namespace kest::testing

namespace kest::testing {
namespace {

TEST_F(RequestLoop, AFrontEndThatStopsReadingCostsOnlyTheLines) {
    core().close_stdout_after_next_read();
    send(R"({"id":1,"method":"ping"})");
    for (int i = 0; i < 200 && !core().stdout_closed(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(core().stdout_closed());
    // Responses and events now have no reader; the core must go on serving all the same.
    send(R"({"id":2,"method":"disconnect"})");
    send(R"({"id":3,"method":"ping"})");
    send("not json");
    EXPECT_TRUE(core().wait_stderr_lines(2));
    core().close_stdin();
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_EQ(log_with("[rpc] неразобранный").size(), 1u);
}

} // namespace
} // namespace kest::testing
