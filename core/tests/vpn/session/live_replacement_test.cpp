#include "vpn/session/live_replacement.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../log_capture.h"
#include "scripted_steps.h"
#include "support/eventually.h"
#include "support/fake_engine.h"
#include "support/stalled_log.h"
#include "vpn/supervision/engine_crash_watcher.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;

const std::string kReloadLine = R"({"cmd":"reload","config":"/data/vpn_config.json"})"
                                "\n";

struct Event {
    VpnState state;
    std::string msg;
    bool operator==(const Event&) const = default;
};

const Event kConnecting{VpnState::Connecting, "⏳ Подготовка сетевой среды [Sing-box]..."};
const Event kConnected{VpnState::Connected, "✅ Туннель Kest успешно поднят."};

// A controller whose Apply is the live replacement over scripted steps (Connect is the
// sequence over the same steps), with a running session whose engine is a fake.
struct Replacement {
    std::mutex mutex;
    std::vector<Event> events;
    ScriptedSteps steps;
    std::shared_ptr<VpnController> controller;
    testing::FakeEngine engine;
    std::chrono::milliseconds timeout = 20s;

    explicit Replacement(testing::OnClosedInput on_closed_input = testing::OnClosedInput::Exit)
        : engine(on_closed_input) {
        auto connect = [this](VpnController& c, VpnCommand& command) {
            return connect_session(c, command, steps);
        };
        auto apply = [this](VpnController& c, VpnCommand& command) {
            return replace_live_config(c, command, steps, timeout);
        };
        controller =
            std::make_shared<VpnController>(StatusSink{[this](VpnState s, const std::string& m) {
                                                           std::lock_guard lock(mutex);
                                                           events.push_back({s, m});
                                                       },
                                                       [] {}},
                                            CommandRunners{connect, apply});
        controller->clear_cleanup_pending();
    }

    // The running session: its engine, secret, port and pinned resolver.
    void run_session(std::string secret = "old-secret", std::uint16_t port = 5555,
                     std::string resolver = "") {
        controller->install_session(SessionStart{
            std::move(engine.handle), std::make_shared<std::atomic<bool>>(false),
            controller->next_session_token(), std::move(secret), port, std::move(resolver)});
    }

    CommandResult apply(std::string link = "vless://new") {
        config::RoutePlan plan;
        plan.process_names.append("telegram.exe");
        return submit_command(controller, CommandKind::Apply, std::move(link), std::move(plan));
    }
    std::vector<Event> snapshot() {
        std::lock_guard lock(mutex);
        return events;
    }
    // The steps of a full connect seen in the trace.
    bool connected_anew() {
        for (const auto& step : steps.trace)
            if (step.rfind("start ", 0) == 0)
                return true;
        return false;
    }
};

TEST(LiveReplacement, ReloadsTheRunningEngineAndKeepsTheSession) {
    Replacement r;
    r.engine.side->answer = R"({"ok":true})";
    bool held_during_exchange = true;
    r.engine.side->on_write = [&] { held_during_exchange = r.controller->engine_held(); };
    r.run_session();
    SessionValues before = r.controller->session_values();

    LogCapture log;
    EXPECT_TRUE(std::holds_alternative<Done>(r.apply()));
    EXPECT_EQ(log.lines_ending_with(texts::config_replaced), 1u);
    EXPECT_EQ(log.lines_ending_with(texts::tunnel_up), 1u);

    EXPECT_EQ(r.steps.trace, (List{"reset [\"telegram.exe\"]", "parse vless://new", "preresolve",
                                   "write 192.0.2.7 old-secret 5555 [] /data/vpn_config.json",
                                   "reset [\"telegram.exe\"]"}));
    EXPECT_EQ(r.engine.side->written_lines(), (List{kReloadLine}));
    EXPECT_FALSE(held_during_exchange) << "is_connected must answer false during the exchange";
    EXPECT_EQ(r.snapshot(), (std::vector<Event>{kConnected}));

    SessionValues after = r.controller->session_values();
    EXPECT_TRUE(after.engine_held);
    EXPECT_EQ(after.stop_flag, before.stop_flag);
    EXPECT_FALSE(after.stop_flag->load());
    EXPECT_EQ(after.session_token, before.session_token);
    EXPECT_EQ(after.api_secret, "old-secret");
    EXPECT_EQ(after.api_port, 5555);
    EXPECT_TRUE(r.controller->control_client().has_value());
    EXPECT_FALSE(r.engine.side->input_closed);
    EXPECT_FALSE(r.controller->cleanup_pending());
}

TEST(LiveReplacement, WithoutARunningSessionItIsAFullConnect) {
    struct Case {
        const char* what;
        bool engine;
        std::string secret;
        std::uint16_t port;
    } cases[] = {
        {"no engine", false, "old-secret", 5555},
        {"port 0", true, "old-secret", 0},
        {"empty secret", true, "", 5555},
    };
    for (const auto& c : cases) {
        Replacement r;
        if (c.engine)
            r.run_session(c.secret, c.port);
        EXPECT_TRUE(std::holds_alternative<Done>(r.apply())) << c.what;
        EXPECT_EQ(r.snapshot().front(), kConnecting) << c.what;
        EXPECT_TRUE(r.connected_anew()) << c.what;
        EXPECT_TRUE(r.engine.side->written_lines().empty()) << c.what;
    }
}

TEST(LiveReplacement, AFailedReloadStopsTheSessionAndConnectsAnew) {
    struct Case {
        const char* what;
        std::optional<std::string> answer;
        bool refuse_writes;
        bool input_closed;
        std::string error;
    } cases[] = {
        {"stopped, even with ok", R"({"ok":true,"kind":"stopped"})", false, false,
         "движок остановился во время замены конфига"},
        {"ok false, empty kind", R"({"ok":false,"kind":"","error":"порт занят"})", false, false,
         "порт занят"},
        {"own kind", R"({"ok":false,"kind":"auth","error":"ключ отклонён"})", false, false,
         "ключ отклонён"},
        {"no answer", std::nullopt, false, false, "движок не отчитался о перезагрузке"},
        {"write refused", std::nullopt, true, false, "движок не принял команду"},
        {"input already closed", std::nullopt, false, true, "движок уже остановлен"},
    };
    for (const auto& c : cases) {
        Replacement r;
        r.timeout = 200ms;
        r.engine.side->answer = c.answer;
        r.engine.side->refuse_writes = c.refuse_writes;
        if (c.input_closed)
            r.engine.handle.stdin_pipe.reset();
        r.run_session();
        StopFlag old_flag = r.controller->session_values().stop_flag;

        LogCapture log;
        EXPECT_TRUE(std::holds_alternative<Done>(r.apply())) << c.what;
        EXPECT_EQ(log.lines_ending_with(fill_text(texts::replacement_failed, {c.error})), 1u)
            << c.what << "\n"
            << log.finish();
        EXPECT_TRUE(old_flag->load()) << c.what << ": the old session was stopped";
        EXPECT_TRUE(r.connected_anew()) << c.what;
        EXPECT_EQ(r.steps.cleanup_pending_seen, List{"pending"}) << c.what;
        EXPECT_EQ(r.snapshot(), (std::vector<Event>{kConnecting})) << c.what;
    }
}

TEST(LiveReplacement, AFailedReloadEndsTheBorrowedEngineOrHandsItToTheReaper) {
    // Neither engine leaves when its input closes: one ignores it, one says it is stopping and
    // stays. Each must be ended, by the stop or by the reaper after it; dropped, neither would.
    auto fail_reload_with = [](testing::OnClosedInput on_closed_input) {
        Replacement r(on_closed_input);
        r.timeout = 50ms;
        r.run_session();
        EXPECT_TRUE(std::holds_alternative<Done>(r.apply()));
        EXPECT_TRUE(r.engine.side->input_closed);
        EXPECT_TRUE(testing::eventually([&] { return r.engine.side->terminated_with == 1; }, 15s));
    };
    auto ignoring =
        std::async(std::launch::async, fail_reload_with, testing::OnClosedInput::Ignore);
    auto stopping =
        std::async(std::launch::async, fail_reload_with, testing::OnClosedInput::ReportStopped);
    ignoring.get();
    stopping.get();
}

TEST(LiveReplacement, AnEngineThatDiesOnTheReloadStaysAwayFromTheCrashWatcher) {
    // The failure's log line waits as long as the front end is slow to read the log; all that
    // time the crash watcher looks for the engine, and must not find the dead one.
    Replacement r;
    r.timeout = 50ms;
    std::shared_ptr<testing::EngineSide> side = r.engine.side;
    // A raw pointer: the side holding a shared one to itself would never go.
    side->on_write = [engine = side.get()] { engine->exited = true; };
    r.run_session();
    auto crash_road = std::make_shared<std::atomic<bool>>(false);
    CrashWatchSettings watch;
    watch.poll = 1ms;
    watch.restore.exe_path = [crash_road]() -> std::optional<std::string> {
        *crash_road = true;
        return std::nullopt;
    };

    testing::StalledLog log;
    std::thread watcher(engine_crash_watcher, r.controller,
                        r.controller->session_values().session_token, watch);
    auto applied = std::async(std::launch::async, [&] { return r.apply(); });
    ASSERT_TRUE(testing::eventually([&] { return !side->written_lines().empty(); }, 10s));
    std::this_thread::sleep_for(300ms); // hundreds of the watcher's looks
    log.release();
    EXPECT_TRUE(std::holds_alternative<Done>(applied.get()));
    watcher.join();

    EXPECT_FALSE(*crash_road) << "the watcher took the dead engine for a crash";
    EXPECT_EQ(r.snapshot(), (std::vector<Event>{kConnecting}));
    EXPECT_TRUE(side->input_closed) << "the borrowed engine was stopped";
    EXPECT_TRUE(r.connected_anew());
}

TEST(LiveReplacement, RefusedShareLinkOrConfigurationFailsAndKeepsTheTunnel) {
    struct Case {
        const char* what;
        Expected<config::Outbound> outbound;
        Expected<void> written;
        std::string event;
    } cases[] = {
        {"share link", unexpected(std::string("не разобрать ссылку")), {}, "❌ не разобрать ссылку"},
        {"configuration", Json{{"server", "h"}}, unexpected(std::string("диск полон")),
         "❌ Ошибка генерации конфига: диск полон"},
    };
    for (const auto& c : cases) {
        Replacement r;
        r.steps.outbound = c.outbound;
        r.steps.written = c.written;
        r.run_session();
        CommandResult result = r.apply();
        ASSERT_TRUE(std::holds_alternative<Failed>(result)) << c.what;
        EXPECT_EQ(std::get<Failed>(result).error.kind, "") << c.what;
        EXPECT_EQ(r.snapshot(), (std::vector<Event>{{VpnState::Disconnected, c.event}})) << c.what;
        EXPECT_FALSE(r.connected_anew()) << c.what;
        EXPECT_TRUE(r.controller->engine_held()) << c.what << ": the tunnel stays up";
        EXPECT_FALSE(r.engine.side->input_closed) << c.what;
        EXPECT_TRUE(r.engine.side->written_lines().empty()) << c.what;
    }
}

TEST(LiveReplacement, APinnedResolverIsKeptWhileListedAndPickedAnewWhenGone) {
    struct Case {
        const char* what;
        std::string pinned;
        std::vector<text::IpAddress> system;
        std::string picked;
        std::string written_resolver;
        bool pick;
    } cases[] = {
        {"still listed",
         "192.168.1.1",
         {text::Ipv4Bytes{192, 168, 1, 1}},
         "10.9.9.9",
         "192.168.1.1",
         false},
        {"gone",
         "192.168.1.1",
         {text::Ipv4Bytes{192, 168, 7, 1}},
         "192.168.7.1",
         "192.168.7.1",
         true},
        {"gone, none answers", "192.168.1.1", {}, "", "", true},
        {"not an address", "dns.local", {}, "10.9.9.9", "dns.local", false},
    };
    for (const auto& c : cases) {
        Replacement r;
        r.engine.side->answer = R"({"ok":true})";
        r.steps.dns_servers = c.system;
        r.steps.picked_dns = c.picked;
        r.run_session("old-secret", 5555, c.pinned);
        LogCapture log;
        EXPECT_TRUE(std::holds_alternative<Done>(r.apply())) << c.what;
        EXPECT_EQ(log.lines_ending_with(texts::pinned_resolver_gone), c.pick ? 1u : 0u) << c.what;
        bool picked = std::find(r.steps.trace.begin(), r.steps.trace.end(), "pick dns") !=
                      r.steps.trace.end();
        EXPECT_EQ(picked, c.pick) << c.what;
        std::string write =
            "write 192.0.2.7 old-secret 5555 [" + c.written_resolver + "] /data/vpn_config.json";
        EXPECT_NE(std::find(r.steps.trace.begin(), r.steps.trace.end(), write), r.steps.trace.end())
            << c.what;
        // Only the new configuration file learns of a new pick.
        EXPECT_EQ(r.controller->session_values().bypass_resolver, c.pinned) << c.what;
    }
}

TEST(LiveReplacement, ANewerCommandAfterThePreResolutionSupersedesIt) {
    Replacement r;
    r.run_session();
    std::future<CommandResult> disconnect;
    r.steps.during_preresolve = [&] {
        disconnect = std::async(std::launch::async, [&] {
            return submit_command(r.controller, CommandKind::Disconnect, "", {});
        });
        for (int i = 0; i < 5000 && r.controller->queue_empty(); ++i)
            std::this_thread::sleep_for(1ms);
    };
    EXPECT_TRUE(std::holds_alternative<Superseded>(r.apply()));
    EXPECT_TRUE(std::holds_alternative<Done>(disconnect.get()));
    EXPECT_TRUE(r.engine.side->written_lines().empty());
}

} // namespace
} // namespace kest::vpn
