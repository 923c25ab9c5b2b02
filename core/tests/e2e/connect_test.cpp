#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connect_fixture.h"
#include "platform/fs.h"
#include "platform/net.h"
#include "support/program_copy.h"

namespace kest::testing {
namespace {

TEST_F(Connect, TunnelComesUpServesTrafficAndGoesDownThroughTheEngineInput) {
    env_.set("KEST_DOUBLE_CONNECTIONS_BODY",
             R"({"downloadTotal":123456789012,"uploadTotal":4321,"connections":[{"id":"x"}]})");
    start_core();
    send_connect(1, {{"link", kLink}, {"mode", "everywhere"}, {"sites", {"example.com"}}});
    EXPECT_EQ(result_of(1), Json::parse(R"({"foreign_proxy":"","ok":true})"));
    EXPECT_EQ(events(2), (std::vector<Json>{kConnecting, kConnected}));
    EXPECT_EQ(engine_starts(), 1u);

    auto config = platform::read_file(config_path());
    ASSERT_TRUE(config) << config.error();
    ControlValues control = control_values_of(*config);
    EXPECT_EQ(control.secret.size(), 64u);
    EXPECT_TRUE(is_lower_hex(control.secret)) << control.secret;
    EXPECT_NE(control.port, 0);

    send(R"({"id":2,"method":"is_connected"})");
    EXPECT_EQ(result_of(2), Json::parse(R"({"connected":true})"));
    send(R"({"id":3,"method":"traffic"})");
    EXPECT_EQ(result_of(3), Json::parse(R"({"down":123456789012,"ok":true,"up":4321})"));

    send(R"({"id":4,"method":"disconnect"})");
    EXPECT_EQ(result_of(4), Json::parse(R"({"ok":true})"));
    EXPECT_EQ(events(3).back(), kRestored);
    auto engine_log = log_with("[engine] ");
    EXPECT_NE(std::find(engine_log.begin(), engine_log.end(),
                        "[engine] vuvezozire: input closed, stopping"),
              engine_log.end());
    send(R"({"id":5,"method":"is_connected"})");
    EXPECT_EQ(result_of(5), Json::parse(R"({"connected":false})"));
    send(R"({"id":6,"method":"traffic"})");
    EXPECT_EQ(result_of(6), Json::parse(R"({"down":0,"ok":false,"up":0})"));

    // A second connect makes a new secret.
    send_connect(7, {{"link", kLink}});
    EXPECT_EQ(result_of(7), Json::parse(R"({"foreign_proxy":"","ok":true})"));
    auto second = platform::read_file(config_path());
    ASSERT_TRUE(second);
    EXPECT_NE(control_values_of(*second).secret, control.secret);
    send(R"({"id":8,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
}

TEST_F(Connect, ATakenControlPortGivesWayToAnotherThatConfigurationAndTrafficShare) {
    // Held here, or already by someone else: either way the core cannot bind it.
    auto held = platform::listen_loopback(9787);
    env_.set("KEST_DOUBLE_CONNECTIONS_BODY", R"({"downloadTotal":5,"uploadTotal":6})");
    start_core();
    send_connect(1, {{"link", kLink}});
    EXPECT_EQ(result_of(1), Json::parse(R"({"foreign_proxy":"","ok":true})"));
    auto config = platform::read_file(config_path());
    ASSERT_TRUE(config) << config.error();
    EXPECT_NE(control_values_of(*config).port, 9787);
    send(R"({"id":2,"method":"traffic"})");
    EXPECT_EQ(result_of(2), Json::parse(R"({"down":5,"ok":true,"up":6})"));
}

TEST_F(Connect, FailedStartsAreRetriedOnlyWhenASecondStartCanMendThem) {
    const std::string admin_text = "❌ нет прав на создание VPN-туннеля. Закройте приложение и "
                                   "запустите его от имени администратора.";
    const std::string busy =
        "[vpn] ⚠️ TUN-адаптер занят — чистим систему и "
        "пробуем "
        "ещё "
        "раз...";
    const std::string other =
        "[vpn] ⚠️ туннель не поднялся — убираемся и "
        "пробуем "
        "ещё "
        "раз...";
    struct Case {
        const char* kind;
        const char* error;
        const char* failing_starts; // the double fails this many starts; "" for all of them
        std::size_t starts;
        Json result;
        std::vector<std::string> failure_events;
        std::vector<std::string> retry_log;
    };
    const Case cases[] = {
        {"config",
         "unknown outbound",
         "",
         1,
         Json::parse(R"({"error":"unknown outbound","ok":false,"toast_key":"err_bad_config"})"),
         {"❌ ошибка конфигурации: unknown outbound"},
         {}},
        {"auth",
         "wrong user",
         "",
         1,
         Json::parse(R"({"error":"wrong user","ok":false,"toast_key":"err_tunnel_failed"})"),
         {"❌ wrong user"},
         {}},
        {"start",
         "configure tun: Operation not permitted",
         "",
         1,
         Json::parse(R"({"error":"configure tun: Operation not permitted","ok":false,)"
                     R"("toast_key":"err_no_permission_admin"})"),
         {admin_text},
         {}},
        {"start",
         "create tun: Cannot create a file when that file already exists.",
         "1",
         2,
         Json::parse(R"({"foreign_proxy":"","ok":true})"),
         {},
         {busy}},
        {"start",
         "tun setup failed",
         "",
         2,
         Json::parse(R"({"error":"tun setup failed","ok":false,"toast_key":"err_tunnel_failed"})"),
         {"❌ tun setup failed"},
         {other}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        events_.clear();
        platform::remove_file(data_.join("starts.txt"));
        env_.set("KEST_DOUBLE_START", "fail");
        env_.set("KEST_DOUBLE_KIND", c.kind);
        env_.set("KEST_DOUBLE_ERROR", c.error);
        env_.set("KEST_DOUBLE_FAILING_STARTS", std::string(c.failing_starts));
        start_core();
        send_connect(1, {{"link", kLink}});
        EXPECT_EQ(result_of(1), c.result);
        EXPECT_EQ(engine_starts(), c.starts);
        send(R"({"id":2,"method":"shutdown"})");
        core().wait_exit();
        // Every line, now that the core has ended: events may follow the reply.
        std::vector<std::string> failures, retries;
        for (const std::string& line : core().stdout_lines()) {
            Json e = Json::parse(line);
            if (e.value("state", "") == "disconnected" && e["msg"] != kRestored["msg"])
                failures.push_back(e["msg"]);
        }
        EXPECT_EQ(failures, c.failure_events);
        for (const std::string& line : log_with("[vpn] "))
            if (line == busy || line == other)
                retries.push_back(line);
        EXPECT_EQ(retries, c.retry_log);
    }
}

TEST_F(Connect, ANewerCommandDuringTheFirstStartStopsTheRetry) {
    std::string gate = data_.join("release-report");
    env_.set("KEST_DOUBLE_START", "fail");
    env_.set("KEST_DOUBLE_KIND", "start");
    env_.set("KEST_DOUBLE_ERROR", "tun setup failed");
    env_.set("KEST_DOUBLE_REPORT_GATE", gate);
    start_core();
    send_connect(1, {{"link", kLink}});
    wait_for_engine_starts(1);
    disconnect_behind_the_start(2, gate);

    EXPECT_EQ(result_of(1), Json::parse(R"({"error":"tun setup failed","ok":false,)"
                                        R"("toast_key":"err_tunnel_failed"})"));
    EXPECT_EQ(result_of(2), Json::parse(R"({"ok":true})"));
    EXPECT_EQ(engine_starts(), 1u);
    EXPECT_EQ(events(2), (std::vector<Json>{kConnecting, kRestored}));
    for (const std::string& line : log_with("[vpn] "))
        EXPECT_EQ(line.find("пробуем ещё раз"), std::string::npos) << line;
}

TEST_F(Connect, AConnectAndADisconnectWrittenTogetherEndDisconnected) {
    // A quick second click: both lines in one write. Each request runs on its own thread, so
    // either may reach the tunnel's worker first; the line order must decide all the same.
    start_core();
    const Json connect = {{"link", kLink}, {"mode", "selected"}};
    for (std::uint64_t round = 0; round < 24; ++round) {
        const std::uint64_t first = 3 * round + 1;
        ASSERT_TRUE(
            core().write(Json{{"id", first}, {"method", "connect"}, {"params", connect}}.dump() +
                         "\n" + Json{{"id", first + 1}, {"method", "disconnect"}}.dump() + "\n"));
        auto results = results_of({first, first + 1});
        ASSERT_EQ(results.size(), 2u) << "round " << round << ": an answer is missing";
        // The connect may have finished first (then the disconnect took its tunnel down) or
        // been superseded; it must never have run after the disconnect.
        EXPECT_EQ(results[first + 1], Json::parse(R"({"ok":true})")) << "round " << round;
        send(Json{{"id", first + 2}, {"method", "is_connected"}}.dump());
        EXPECT_EQ(result_of(first + 2), Json::parse(R"({"connected":false})")) << "round " << round;
    }
}

} // namespace
} // namespace kest::testing
