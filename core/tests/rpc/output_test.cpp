#include "rpc/output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "rpc/events.h"

namespace kest::rpc {
namespace {

std::string line_of(const Json& v) {
    return *json::dump_compact(v);
}

TEST(ResponseLine, HasErrorOrResultOrNeither) {
    EXPECT_EQ(line_of(response_object(5, Json{{"ok", true}}, "")),
              R"({"id":5,"result":{"ok":true}})");
    EXPECT_EQ(line_of(response_object(5, nullptr, "")), R"({"id":5})");
    EXPECT_EQ(line_of(response_object(5, Json{{"ok", true}}, "x")), R"({"error":"x","id":5})");
    EXPECT_EQ(line_of(response_object(18446744073709551615ull, Json::array(), "")),
              R"({"id":18446744073709551615,"result":[]})");
}

TEST(ResponseLine, EscapesOnlyWhatJsonNeedsAndOrdersKeysByByte) {
    Json value = {{"b", "кавычка \" слэш \\ / строка\nтаб\t\x01 😀"}, {"B", 1}, {"a", -3}};
    EXPECT_EQ(line_of(response_object(1, value, "")),
              "{\"id\":1,\"result\":{\"B\":1,\"a\":-3,\"b\":\"кавычка \\\" слэш \\\\ / "
              "строка\\nтаб\\t\\u0001 😀\"}}");
}

TEST(EventLine, StateAndRestartAdvice) {
    EXPECT_EQ(line_of(state_event(vpn::VpnState::Connecting, "")),
              R"({"event":"state","msg":"","state":"connecting"})");
    EXPECT_EQ(line_of(state_event(vpn::VpnState::Connected, "✅ ok")),
              R"({"event":"state","msg":"✅ ok","state":"connected"})");
    EXPECT_EQ(line_of(state_event(vpn::VpnState::Disconnected, "a\"b")),
              R"({"event":"state","msg":"a\"b","state":"disconnected"})");
    EXPECT_EQ(line_of(need_restart_event()), R"({"event":"need_restart"})");
}

TEST(EventQueue, KeepsOrderAndNeverBlocksProducersWhenTheWriterIsGone) {
    auto [producer, receiver] = EventQueue::make();
    auto unwritten = std::make_shared<UnwrittenLines>();
    vpn::StatusSink sink = make_status_sink(producer, unwritten);
    producer.reset();
    sink.on_state(vpn::VpnState::Connecting, "1");
    sink.on_need_restart();
    sink.on_state(vpn::VpnState::Connected, "2");
    EXPECT_EQ(line_of(*receiver.recv()), R"({"event":"state","msg":"1","state":"connecting"})");
    EXPECT_EQ(line_of(*receiver.recv()), R"({"event":"need_restart"})");
    EXPECT_EQ(line_of(*receiver.recv()), R"({"event":"state","msg":"2","state":"connected"})");
    receiver.reset();
    sink.on_state(vpn::VpnState::Disconnected, "dropped"); // returns at once, silently
    sink = {};
}

// What the exit waits for: a queued event is on its way until the writer has written it (here to
// this test's own output); one dropped because no writer is left holds nobody.
TEST(EventQueue, AQueuedEventIsUnwrittenUntilWrittenADroppedOneNot) {
    using Clock = std::chrono::steady_clock;
    auto unwritten = std::make_shared<UnwrittenLines>();
    auto state = std::make_shared<AppState>(nullptr, unwritten);
    {
        auto [producer, receiver] = EventQueue::make();
        vpn::StatusSink sink = make_status_sink(producer, unwritten);
        producer.reset();
        sink.on_need_restart();
        EXPECT_FALSE(unwritten->wait_until_written(Clock::now()));
        sink = {}; // the writer ends once the queue is empty
        std::thread writer(event_writer_thread, std::move(receiver), state);
        writer.join();
        EXPECT_TRUE(unwritten->wait_until_written(Clock::now()));
    }
    auto [producer, receiver] = EventQueue::make();
    vpn::StatusSink sink = make_status_sink(producer, unwritten);
    receiver.reset();
    sink.on_need_restart();
    EXPECT_TRUE(unwritten->wait_until_written(Clock::now()));
}

} // namespace
} // namespace kest::rpc
