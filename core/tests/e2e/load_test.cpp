// A front end that writes many requests at once while the tunnel comes up and goes down: every
// request is answered exactly once, and every output line is one whole JSON value.
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "connect_fixture.h"

namespace kest::testing {
namespace {

using Load = Connect;

// The requests of the burst, in turn, and what each one's answer must be.
struct Kind {
    std::string method;
    std::function<bool(const Json& answer)> fits;
};

bool result_is(const Json& answer, const Json& result) {
    return answer.size() == 2 && answer.contains("result") && answer["result"] == result;
}

const std::vector<Kind>& kinds() {
    static const Json traffic_up = Json::parse(R"({"down":7,"ok":true,"up":8})");
    static const Json traffic_none = Json::parse(R"({"down":0,"ok":false,"up":0})");
    static const std::vector<Kind> all = {
        {"ping", [](const Json& a) { return result_is(a, Json::parse(R"({"ok":true})")); }},
        {"is_connected",
         [](const Json& a) {
             return result_is(a, Json::parse(R"({"connected":true})")) ||
                    result_is(a, Json::parse(R"({"connected":false})"));
         }},
        {"traffic",
         [](const Json& a) { return result_is(a, traffic_up) || result_is(a, traffic_none); }},
        {"memstats",
         [](const Json& a) {
             const Json& r = a.value("result", Json());
             return a.size() == 2 && r.is_object() && r.size() == 2 &&
                    r.value("threads", -1) == 0 && r["rss"].is_number_unsigned() &&
                    r["rss"].get<std::uint64_t>() > 0;
         }},
        {"no_such_method",
         [](const Json& a) {
             return a.size() == 2 && a.value("error", "") == "неизвестный метод: no_such_method";
         }},
    };
    return all;
}

bool is_state_event(const Json& j) {
    if (j.size() == 1 && j.value("event", "") == "need_restart")
        return true;
    static const std::set<std::string> states = {"connecting", "connected", "disconnected"};
    return j.size() == 3 && j.value("event", "") == "state" && j["msg"].is_string() &&
           states.count(j.value("state", "")) == 1;
}

TEST_F(Load, AThousandRequestsAroundAConnectAndADisconnectAreEachAnsweredOnceOnWholeLines) {
    env_.set("KEST_DOUBLE_CONNECTIONS_BODY", R"({"downloadTotal":7,"uploadTotal":8})");
    constexpr std::uint64_t kConnect = 1, kDisconnect = 2, kShutdown = 3, kFirst = 1000;
    constexpr int kRequests = 1000;
    std::map<std::uint64_t, const Kind*> asked;
    // Half of the requests, one line each, in one write.
    auto burst = [&](std::uint64_t first, std::string& out) {
        for (std::uint64_t id = first; id < first + kRequests / 2; ++id) {
            const Kind& kind = kinds()[id % kinds().size()];
            asked[id] = &kind;
            out += Json{{"id", id}, {"method", kind.method}}.dump() + "\n";
        }
    };
    // The selected mode keeps the tunnel probe, which looks beyond this machine, from running.
    const Json connect = {
        {"id", kConnect},
        {"method", "connect"},
        {"params", {{"link", kLink}, {"mode", "selected"}, {"sites", {"a.example"}}}}};
    std::string first = connect.dump() + "\n";
    burst(kFirst, first);
    std::string second;
    burst(kFirst + kRequests / 2, second);
    // The disconnect goes in the middle of the second half.
    std::size_t middle = second.find('\n', second.size() / 2) + 1;
    second.insert(middle, Json{{"id", kDisconnect}, {"method", "disconnect"}}.dump() + "\n");

    start_core();
    std::map<std::uint64_t, Json> answered;
    // Reads until the answer to wanted has come; the rest is checked from the whole output.
    auto read_until = [&](std::uint64_t wanted) {
        while (answered.count(wanted) == 0) {
            auto line = core().next_line(60s);
            if (!line)
                return false;
            Json j = Json::parse(*line, nullptr, false);
            if (!j.is_object()) {
                ADD_FAILURE() << "not one whole JSON object: " << *line;
                return false;
            }
            if (j.contains("id"))
                answered[j["id"].get<std::uint64_t>()] = j;
        }
        return true;
    };
    // The first half arrives while the connect runs, the second while the tunnel is up and
    // the disconnect runs.
    ASSERT_TRUE(core().write(first));
    ASSERT_TRUE(read_until(kConnect)) << "no answer to the connect";
    EXPECT_EQ(answered[kConnect]["result"], Json::parse(R"({"foreign_proxy":"","ok":true})"));
    ASSERT_TRUE(core().write(second));
    ASSERT_TRUE(read_until(kDisconnect)) << "no answer to the disconnect";
    for (const auto& [id, kind] : asked)
        ASSERT_TRUE(read_until(id)) << "no answer to " << id << " (" << kind->method << ")";
    send(Json{{"id", kShutdown}, {"method", "shutdown"}}.dump());
    EXPECT_EQ(core().wait_exit(60s), 0);

    // Every line the core wrote, now that it has ended.
    std::map<std::uint64_t, int> answers;
    std::vector<std::string> states;
    for (const std::string& line : core().stdout_lines()) {
        Json j = Json::parse(line, nullptr, false);
        ASSERT_TRUE(j.is_object()) << "not one whole JSON object: " << line;
        if (!j.contains("id")) {
            EXPECT_TRUE(is_state_event(j)) << line;
            states.push_back(j.value("state", ""));
            continue;
        }
        std::uint64_t id = j["id"].get<std::uint64_t>();
        ++answers[id];
        if (auto it = asked.find(id); it != asked.end())
            EXPECT_TRUE(it->second->fits(j)) << line;
        else if (id == kDisconnect || id == kShutdown)
            EXPECT_EQ(j["result"], Json::parse(R"({"ok":true})")) << line;
        else
            EXPECT_EQ(id, kConnect) << "an answer to a request never made: " << line;
    }
    for (const auto& [id, kind] : asked)
        EXPECT_EQ(answers[id], 1) << id << " (" << kind->method << ")";
    for (std::uint64_t id : {kConnect, kDisconnect, kShutdown})
        EXPECT_EQ(answers[id], 1) << id;
    EXPECT_EQ(answers.size(), asked.size() + 3);
    // The tunnel came up and went down once; the shutdown's own teardown may report again.
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(states.begin(), states.begin() + 3),
              (std::vector<std::string>{"connecting", "connected", "disconnected"}));
    for (std::size_t i = 3; i < states.size(); ++i)
        EXPECT_EQ(states[i], "disconnected");

    // The log, written from as many threads, is whole lines too.
    static const std::regex stamped(R"(^\d\d:\d\d:\d\d \[[a-z]+\] .*$)");
    for (const std::string& line : core().stderr_lines())
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
}

// What a front end that queued its requests while the core started writes: a connect, pings,
// a disconnect and is_connected requests, all in one write to a core that has answered
// nothing yet. The first connect of a core does work no later one does (the clean-up of
// orphaned engines among it) while hundreds of request threads start beside it; round after
// round, every request is answered exactly once.
TEST_F(Load, EveryRequestOfOneWriteToAFreshCoreIsAnsweredExactlyOnce) {
    constexpr int kRounds = 20;
    constexpr std::uint64_t kConnect = 1, kFirstPing = 10, kPings = 500;
    constexpr std::uint64_t kDisconnect = kFirstPing + kPings, kShutdown = 2;
    const Json connect = {
        {"id", kConnect},
        {"method", "connect"},
        {"params", {{"link", kLink}, {"mode", "selected"}, {"sites", {"a.example"}}}}};
    std::string write = connect.dump() + "\n";
    std::set<std::uint64_t> asked = {kConnect, kDisconnect};
    for (std::uint64_t id = kFirstPing; id < kFirstPing + kPings; ++id) {
        write += Json{{"id", id}, {"method", "ping"}}.dump() + "\n";
        asked.insert(id);
    }
    write += Json{{"id", kDisconnect}, {"method", "disconnect"}}.dump() + "\n";
    for (std::uint64_t id = kDisconnect + 1; id <= kDisconnect + kPings; ++id) {
        write += Json{{"id", id}, {"method", "is_connected"}}.dump() + "\n";
        asked.insert(id);
    }

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        start_core();
        ASSERT_TRUE(core().write(write));
        std::set<std::uint64_t> waiting = asked;
        while (!waiting.empty()) {
            auto line = core().next_line(30s);
            if (!line)
                break;
            Json j = Json::parse(*line, nullptr, false);
            if (j.is_object() && j.contains("id"))
                waiting.erase(j["id"].get<std::uint64_t>());
        }
        EXPECT_TRUE(waiting.empty()) << waiting.size() << " requests got no answer, the first "
                                     << (waiting.empty() ? 0 : *waiting.begin());
        send(Json{{"id", kShutdown}, {"method", "shutdown"}}.dump());
        ASSERT_EQ(core().wait_exit(30s), 0);
        std::map<std::uint64_t, int> answers;
        for (const std::string& line : core().stdout_lines()) {
            Json j = Json::parse(line, nullptr, false);
            ASSERT_TRUE(j.is_object()) << "not one whole JSON object: " << line;
            if (j.contains("id"))
                ++answers[j["id"].get<std::uint64_t>()];
        }
        for (std::uint64_t id : asked)
            ASSERT_EQ(answers[id], 1) << "request " << id;
        if (HasFailure())
            return; // one round's account is enough to read
    }
}

} // namespace
} // namespace kest::testing
