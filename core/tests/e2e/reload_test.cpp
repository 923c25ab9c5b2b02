// A running tunnel seen from the front end: a "connect" with "reload" true replaces its
// configuration in place (or brings it up anew when that fails), and an engine that dies on
// its own is reported.
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "connect_fixture.h"
#include "platform/fs.h"
#include "support/eventually.h"
#include "support/file_lines.h"

namespace kest::testing {
namespace {

const std::string kReplaced = "[vpn] конфиг заменён на живом туннеле, разрыва не было";
const Json kOk = Json::parse(R"({"foreign_proxy":"","ok":true})");

class Reload : public Connect {
protected:
    void SetUp() override {
        Connect::SetUp();
        env_.set("KEST_DOUBLE_RECORD", record_);
        env_.set("KEST_DOUBLE_CONNECTIONS_BODY", R"({"downloadTotal":7,"uploadTotal":8})");
    }

    // A tunnel up, with its control values as the configuration names them. Mode "selected":
    // no tunnel probe reaches out of this machine however long a test holds the tunnel.
    ControlValues connect_first() {
        start_core();
        send_connect(1, {{"link", kLink}, {"mode", "selected"}, {"sites", {"example.com"}}});
        EXPECT_EQ(result_of(1), kOk);
        EXPECT_EQ(events(2), (std::vector<Json>{kConnecting, kConnected}));
        auto config = platform::read_file(config_path());
        EXPECT_TRUE(config);
        return config ? control_values_of(*config) : ControlValues{};
    }

    // The reload command lines the (first) engine received on its input.
    std::vector<Json> reload_commands() {
        std::vector<Json> out;
        for (const std::string& text : file_lines(record_)) {
            Json line = Json::parse(text, nullptr, false);
            if (line.is_object() && line.contains("cmd"))
                out.push_back(line);
        }
        return out;
    }

    std::vector<std::string> vpn_log_lines_like(const std::string& part) {
        std::vector<std::string> out;
        for (const std::string& line : log_with("[vpn] "))
            if (line.find(part) != std::string::npos)
                out.push_back(line);
        return out;
    }

    std::string record_ = data_.join("record.txt");
};

TEST_F(Reload, ReplacesTheConfigurationWithoutDroppingTheTunnel) {
    ControlValues before = connect_first();
    // Traffic is asked for while the reload runs.
    send_connect(
        2, {{"link", kLink}, {"mode", "selected"}, {"sites", {"example.org"}}, {"reload", true}});
    send(R"({"id":3,"method":"traffic"})");
    EXPECT_EQ(results_of({2, 3}),
              (std::map<std::uint64_t, Json>{{2, kOk},
                                             {3, Json::parse(R"({"down":7,"ok":true,"up":8})")}}));
    EXPECT_EQ(events(3).back(), kConnected);
    EXPECT_EQ(events_.size(), 3u) << "no connecting or disconnected event on the way";

    EXPECT_EQ(reload_commands(),
              (std::vector<Json>{Json{{"cmd", "reload"}, {"config", config_path()}}}));
    EXPECT_EQ(engine_starts(), 1u);

    auto config = platform::read_file(config_path());
    ASSERT_TRUE(config);
    ControlValues after = control_values_of(*config);
    EXPECT_EQ(after.port, before.port);
    EXPECT_EQ(after.secret, before.secret);
    EXPECT_NE(config->find("example.org"), std::string::npos) << "the new sites are in";
    EXPECT_EQ(config->find("example.com"), std::string::npos) << "the old ones are gone";

    send(R"({"id":4,"method":"is_connected"})");
    EXPECT_EQ(result_of(4), Json::parse(R"({"connected":true})"));
    send(R"({"id":5,"method":"traffic"})");
    EXPECT_EQ(result_of(5), Json::parse(R"({"down":7,"ok":true,"up":8})"));
    send(R"({"id":6,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    // The log is read whole once the core has ended: it travels apart from the replies.
    EXPECT_EQ(vpn_log_lines_like("конфиг заменён"), std::vector<std::string>{kReplaced});
}

TEST_F(Reload, AFailedReloadBringsTheTunnelUpAnew) {
    struct Case {
        const char* what;
        const char* name;
        const char* value;
        std::string reason;
    } cases[] = {
        {"engine stopping", "KEST_DOUBLE_RELOAD", "stopped",
         "движок остановился во время замены конфига"},
        {"ok false, empty kind", "KEST_DOUBLE_RELOAD", "fail", "порт занят"},
        {"no answer within the 20 s wait", "KEST_DOUBLE_RELOAD", "silent",
         "движок не отчитался о перезагрузке"},
        {"a line written after the start report", "KEST_DOUBLE_AFTER_REPORT",
         R"({"ok":false,"kind":"late","error":"строка после старта"})", "строка после старта"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        events_.clear();
        (void)platform::remove_file(data_.join("starts.txt"));
        ScopedEnv env;
        env.set("KEST_DOUBLE_RELOAD_ERROR", "порт занят");
        env.set(c.name, c.value);
        connect_first();
        send_connect(
            2,
            {{"link", kLink}, {"mode", "selected"}, {"sites", {"example.org"}}, {"reload", true}});
        EXPECT_EQ(result_of(2), kOk);
        EXPECT_EQ(events(4), (std::vector<Json>{kConnecting, kConnected, kConnecting, kConnected}));
        EXPECT_EQ(engine_starts(), 2u);
        send(R"({"id":3,"method":"shutdown"})");
        EXPECT_EQ(core().wait_exit(), 0);
        EXPECT_EQ(vpn_log_lines_like("замена конфига"),
                  std::vector<std::string>{"[vpn] замена конфига не удалась (" + c.reason +
                                           ") — поднимаем туннель заново"});
        EXPECT_TRUE(vpn_log_lines_like("конфиг заменён").empty());
    }
}

TEST_F(Reload, ARefusedShareLinkLeavesTheRunningTunnelAsItWas) {
    connect_first();
    send_connect(2, {{"link", "ss://YWVzOnBhc3M@127.0.0.1:8388"}, {"reload", true}});
    Json reply = result_of(2);
    EXPECT_EQ(reply.value("ok", true), false) << reply;
    EXPECT_EQ(reply.value("toast_key", ""), "err_tunnel_failed") << reply;
    send(R"({"id":3,"method":"is_connected"})");
    EXPECT_EQ(result_of(3), Json::parse(R"({"connected":true})"));
    send(R"({"id":4,"method":"traffic"})");
    EXPECT_EQ(result_of(4), Json::parse(R"({"down":7,"ok":true,"up":8})"));
    EXPECT_TRUE(reload_commands().empty());
    EXPECT_EQ(engine_starts(), 1u);
    ASSERT_EQ(events(3).size(), 3u);
    EXPECT_EQ(events_[2]["state"], "disconnected");
    EXPECT_EQ(events_[2]["msg"], "❌ " + reply.value("error", std::string("?")));
    send(R"({"id":5,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_EQ(vpn_log_lines_like("Подготовка").size(), 1u) << "no second connect";
}

TEST_F(Reload, AReloadWithoutATunnelIsAConnect) {
    start_core();
    send_connect(1, {{"link", kLink}, {"reload", true}});
    EXPECT_EQ(result_of(1), kOk);
    EXPECT_EQ(events(2), (std::vector<Json>{kConnecting, kConnected}));
    EXPECT_EQ(engine_starts(), 1u);
    EXPECT_TRUE(reload_commands().empty());
}

TEST_F(Reload, AnEngineThatDiesIsReportedAndTheTunnelIsDown) {
    std::string restores = data_.join("restores.txt");
    env_.set("KEST_DOUBLE_EXIT_AFTER_MS", "1000");
    env_.set("KEST_DOUBLE_RESTORE_RECORD", restores);
    connect_first();
    Json crashed = Json::parse(R"({"event":"state","msg":"","state":"disconnected"})");
    EXPECT_EQ(events(3).back(), crashed);
    send(R"({"id":2,"method":"is_connected"})");
    EXPECT_EQ(result_of(2), Json::parse(R"({"connected":false})"));
    send(R"({"id":3,"method":"traffic"})");
    EXPECT_EQ(result_of(3), Json::parse(R"({"down":0,"ok":false,"up":0})"));
    send(R"({"id":4,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_EQ(events_.size(), 3u);
    auto text = platform::read_file(restores);
    ASSERT_TRUE(text) << "the engine was run with --restore";
    EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 1);
    EXPECT_EQ(vpn_log_lines_like("имена системы возвращены").size(), 1u);
    EXPECT_EQ(vpn_log_lines_like("🛑").size(), 1u);
}

TEST_F(Reload, AConnectDuringTheRestoreRunLetsItFinishAndOutdatesTheCrashEvent) {
    // The front end connects again while the core still repairs after the crash (the restore
    // run is held for its whole 3 s): the new connect's clean-up must not end the repair, and
    // the crash's "disconnected" must not follow the new tunnel's "connected".
    std::string restores = data_.join("restores.txt");
    env_.set("KEST_DOUBLE_EXIT_AFTER_MS", "1000");
    env_.set("KEST_DOUBLE_CRASHING_STARTS", "1");
    env_.set("KEST_DOUBLE_RESTORE", "hang");
    env_.set("KEST_DOUBLE_RESTORE_RECORD", restores);
    connect_first();
    std::uint64_t id = 10;
    ASSERT_TRUE(eventually(
        [&] {
            send(Json{{"id", ++id}, {"method", "is_connected"}}.dump());
            return result_of(id) == Json::parse(R"({"connected":false})");
        },
        20s));
    ASSERT_TRUE(eventually([&] { return file_lines(restores).size() == 1; }, 10s));

    send_connect(50, {{"link", kLink}, {"mode", "selected"}});
    EXPECT_EQ(result_of(50), kOk);
    ASSERT_TRUE(eventually([&] { return vpn_log_lines_like("🛑").size() == 1; }, 20s));
    std::this_thread::sleep_for(300ms); // the moment in which a crash event would follow
    sync_keeping_events(60);

    EXPECT_EQ(events_, (std::vector<Json>{kConnecting, kConnected, kConnecting, kConnected}));
    EXPECT_EQ(vpn_log_lines_like("имена системы возвращены").size(), 1u);
    EXPECT_TRUE(vpn_log_lines_like("Завершено осиротевших ядер").empty())
        << "the restore run was ended as an orphan";
    send(R"({"id":61,"method":"is_connected"})");
    EXPECT_EQ(result_of(61), Json::parse(R"({"connected":true})"));
}

TEST_F(Reload, CrashesRacingReloadsAndDisconnectsLeaveEveryRequestAnswered) {
    // Engines that die moments after their start, while reloads and stops run into them.
    env_.set("KEST_DOUBLE_EXIT_AFTER_MS", "30");
    env_.set("KEST_DOUBLE_RESTORE_RECORD", data_.join("restores.txt"));
    start_core();
    std::vector<std::uint64_t> ids;
    for (std::uint64_t round = 0; round < 12; ++round) {
        std::uint64_t id = 10 * round + 1;
        send_connect(id, {{"link", kLink}});
        send_connect(id + 1, {{"link", kLink}, {"sites", {"example.org"}}, {"reload", true}});
        std::this_thread::sleep_for(std::chrono::milliseconds(40 * (round % 4)));
        send(Json{{"id", id + 2}, {"method", "is_connected"}}.dump());
        send(Json{{"id", id + 3}, {"method", "disconnect"}}.dump());
        ids.insert(ids.end(), {id, id + 1, id + 2, id + 3});
    }
    auto results = results_of(ids);
    EXPECT_EQ(results.size(), ids.size());
    for (std::uint64_t id : ids)
        EXPECT_TRUE(results.count(id)) << "no answer to " << id;
    send(R"({"id":1000,"method":"disconnect"})");
    EXPECT_EQ(result_of(1000), Json::parse(R"({"ok":true})"));
    send(R"({"id":1001,"method":"is_connected"})");
    EXPECT_EQ(result_of(1001), Json::parse(R"({"connected":false})"));
    send(R"({"id":1002,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    for (const std::string& line : core().stdout_lines())
        EXPECT_FALSE(Json::parse(line, nullptr, false).is_discarded()) << line;
}

} // namespace
} // namespace kest::testing
