#include "vpn/session/connect_session.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "scripted_steps.h"
#include "support/fake_engine.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;

struct Event {
    VpnState state;
    std::string msg;
    bool operator==(const Event&) const = default;
};

// The controller with the sequence as its worker's connect, over scripted steps.
struct Sequence {
    std::mutex mutex;
    std::vector<Event> events;
    ScriptedSteps steps;
    std::shared_ptr<VpnController> controller;

    Sequence() {
        auto run = [this](VpnController& c, VpnCommand& command) {
            return connect_session(c, command, steps);
        };
        controller =
            std::make_shared<VpnController>(StatusSink{[this](VpnState s, const std::string& m) {
                                                           std::lock_guard lock(mutex);
                                                           events.push_back({s, m});
                                                       },
                                                       [] {}},
                                            CommandRunners{run, run});
    }

    CommandResult connect(std::string link = "vless://x", config::RoutePlan plan = {}) {
        return submit_command(controller, CommandKind::Connect, std::move(link), std::move(plan));
    }
    std::vector<Event> snapshot() {
        std::lock_guard lock(mutex);
        return events;
    }
    List failure_events() {
        List out;
        for (const Event& e : snapshot())
            if (e.state == VpnState::Disconnected)
                out.push_back(e.msg);
        return out;
    }
    // Submits a disconnect from another thread and returns once it waits in the queue.
    std::future<CommandResult> queue_disconnect() {
        auto f = std::async(std::launch::async, [this] {
            return submit_command(controller, CommandKind::Disconnect, "", {});
        });
        for (int i = 0; i < 5000 && controller->queue_empty(); ++i)
            std::this_thread::sleep_for(1ms);
        EXPECT_FALSE(controller->queue_empty()) << "the disconnect never reached the queue";
        return f;
    }
};

const Event connecting{VpnState::Connecting, "⏳ Подготовка сетевой среды [Sing-box]..."};
const Event restored{VpnState::Disconnected, "✅ Настройки сети успешно восстановлены."};

std::string name_of(const CommandResult& r) {
    if (std::holds_alternative<Done>(r))
        return "Done";
    if (std::holds_alternative<Superseded>(r))
        return "Superseded";
    const auto& e = std::get<Failed>(r).error;
    return "Failed(" + e.kind + ", " + e.message + ")";
}

List starts_in(const List& trace) {
    List out;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(out),
                 [](const std::string& step) { return step.rfind("start ", 0) == 0; });
    return out;
}

// The "[vpn] " log lines written while fn runs, without their time stamps.
List vpn_log_of(const std::function<void()>& fn) {
    ::testing::internal::CaptureStderr();
    fn();
    std::string captured = ::testing::internal::GetCapturedStderr();
    List lines;
    std::size_t start = 0;
    while (start < captured.size()) {
        std::size_t end = captured.find('\n', start);
        if (end == std::string::npos)
            end = captured.size();
        std::string line = captured.substr(start, end - start);
        if (auto tag = line.find("[vpn] "); tag != std::string::npos)
            lines.push_back(line.substr(tag + 6));
        start = end + 1;
    }
    return lines;
}

TEST(ConnectSession, StepsRunInOrderAndTheSessionValuesReachBothTheFileAndTheEngine) {
    Sequence s;
    testing::FakeEngine running(testing::OnClosedInput::Exit);
    s.steps.old_engine = running.side;
    testing::install_engine(*s.controller, std::move(running.handle));
    StopFlag flag = s.controller->session_values().stop_flag;
    ASSERT_TRUE(flag);
    config::RoutePlan plan;
    plan.process_names.append("app.exe");
    CommandResult result;
    List log = vpn_log_of([&] { result = s.connect("vless://id@127.0.0.1:443", plan); });

    EXPECT_EQ(name_of(result), "Done");
    EXPECT_EQ(s.steps.trace, (List{
                                 R"(reset ["app.exe"])",
                                 "cleanup",
                                 "parse vless://id@127.0.0.1:443",
                                 "preresolve",
                                 "secret",
                                 "port",
                                 "dns servers",
                                 "write 192.0.2.7 s3cr3t 4321 [] /data/vpn_config.json",
                                 "start /data/vpn_config.json s3cr3t 4321 []",
                                 "proxy",
                             }));
    EXPECT_TRUE(flag->load());
    // The chosen applications lose their connections while the old tunnel still carries them;
    // the old session ends before the clean-up.
    EXPECT_EQ(s.steps.old_engine_seen, (List{"reset: running", "cleanup: stopped"}));
    EXPECT_FALSE(s.controller->engine_held());
    EXPECT_EQ(s.snapshot(), std::vector<Event>{connecting});
    EXPECT_EQ(log, List{std::string(texts::preparing_network)});
}

TEST(ConnectSession, ALoopbackSystemProxyIsLoggedAfterASuccess) {
    Sequence s;
    s.steps.proxy = "127.0.0.1:8888";
    CommandResult result;
    List log = vpn_log_of([&] { result = s.connect(); });
    EXPECT_EQ(name_of(result), "Done");
    EXPECT_EQ(log.back(), "включён системный прокси 127.0.0.1:8888 — приложения пойдут через "
                          "него, а не через туннель");
}

TEST(ConnectSession, OnlyAnAllLoopbackSystemResolverIsBypassed) {
    const text::Ipv4Bytes stub{127, 0, 0, 53}, lan{192, 168, 1, 1};
    const text::Ipv6Bytes v6_loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const text::Ipv6Bytes v6_mapped_stub{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1};
    const text::Ipv6Bytes v6_mapped_lan{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1};
    const text::Ipv6Bytes v6_two{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const text::Ipv6Bytes v6_compatible{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1};
    const std::string found = "системный резолвер похож на локальную заглушку — direct-домены "
                              "пойдут напрямую на 10.0.0.53";
    struct Case {
        std::vector<text::IpAddress> servers;
        std::string picked;
        bool picks;
        std::string resolver;
        List log;
    };
    const Case cases[] = {
        {{}, "10.0.0.53", false, "", {}},
        {{stub, lan}, "10.0.0.53", false, "", {}},
        {{stub, v6_mapped_lan}, "10.0.0.53", false, "", {}},
        {{v6_two}, "10.0.0.53", false, "", {}},
        {{v6_compatible}, "10.0.0.53", false, "", {}},
        {{stub}, "10.0.0.53", true, "10.0.0.53", {found}},
        {{stub, v6_loopback, v6_mapped_stub}, "10.0.0.53", true, "10.0.0.53", {found}},
        {{stub}, "", true, "", {std::string(texts::bypass_resolver_missing)}},
    };
    for (const Case& c : cases) {
        Sequence s;
        s.steps.dns_servers = c.servers;
        s.steps.picked_dns = c.picked;
        List log = vpn_log_of([&] { EXPECT_EQ(name_of(s.connect()), "Done"); });
        log.erase(log.begin()); // the preparing line
        const List& trace = s.steps.trace;
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "pick dns"), c.picks ? 1 : 0);
        EXPECT_EQ(starts_in(trace),
                  List{"start /data/vpn_config.json s3cr3t 4321 [" + c.resolver + "]"});
        EXPECT_EQ(log, c.log);
    }
}

TEST(ConnectSession, AShareLinkOrConfigurationFailureEndsTheConnectBeforeAnyStart) {
    {
        Sequence s;
        s.steps.outbound = unexpected(std::string("не удалось разобрать ссылку"));
        EXPECT_EQ(name_of(s.connect()), "Failed(, не удалось разобрать ссылку)");
        EXPECT_EQ(s.steps.trace.back(), "parse vless://x");
        EXPECT_EQ(s.snapshot(),
                  (std::vector<Event>{connecting,
                                      {VpnState::Disconnected, "❌ не удалось разобрать ссылку"}}));
    }
    {
        Sequence s;
        s.steps.written = unexpected(std::string("Access is denied."));
        EXPECT_EQ(name_of(s.connect()), "Failed(, Access is denied.)");
        EXPECT_EQ(s.steps.trace.back().rfind("write ", 0), 0u);
        EXPECT_EQ(s.snapshot(),
                  (std::vector<Event>{
                      connecting,
                      {VpnState::Disconnected, "❌ Ошибка генерации конфига: Access is denied."}}));
    }
}

TEST(ConnectSession, AFailedStartIsRetriedOnceUnlessASecondStartCannotMendIt) {
    const std::string busy(texts::retry_adapter_busy), other(texts::retry_after_failure);
    const std::string admin = "❌ нет прав на создание VPN-туннеля. Закройте приложение и "
                              "запустите его от имени администратора.";
    struct Case {
        std::vector<CommandResult> starts;
        std::size_t start_count;
        std::string result;
        List retry_log;
        List failure_events;
    };
    const Case cases[] = {
        {{Failed{{"start", "boom"}}, Failed{{"spawn", "boom again"}}},
         2,
         "Failed(spawn, boom again)",
         {other},
         {"❌ boom again"}},
        {{Failed{{"start", "Cannot create: Object Already Exists"}}, Done{}},
         2,
         "Done",
         {busy},
         {}},
        {{Failed{{"start", "x"}}, Superseded{}}, 2, "Superseded", {other}, {}},
        {{Failed{{"Config", "x"}}, Done{}}, 2, "Done", {other}, {}},
        {{Failed{{"start", ""}}, Failed{{"start", ""}}}, 2, "Failed(start, )", {other}, {"❌ "}},
        {{Failed{{"config", "bad route"}}},
         1,
         "Failed(config, bad route)",
         {},
         {"❌ ошибка конфигурации: bad route"}},
        {{Failed{{"auth", "wrong uuid"}}}, 1, "Failed(auth, wrong uuid)", {}, {"❌ wrong uuid"}},
        {{Failed{{"start", "open tun: Permission Denied"}}},
         1,
         "Failed(start, open tun: Permission Denied)",
         {},
         {admin}},
        {{Failed{{"start", "Не разобрать ответ"}}},
         1,
         "Failed(start, Не разобрать ответ)",
         {},
         {"❌ Не разобрать ответ"}},
        {{Failed{{"start", "ОШИБКА КОНФИГУРАЦИИ: dns"}}},
         1,
         "Failed(start, ОШИБКА КОНФИГУРАЦИИ: dns)",
         {},
         {"❌ ОШИБКА КОНФИГУРАЦИИ: dns"}},
        {{Failed{{"start", "тип не поддерживается клиентом"}}},
         1,
         "Failed(start, тип не поддерживается клиентом)",
         {},
         {"❌ тип не поддерживается клиентом"}},
        {{Failed{{"start", "Ошибка генерации конфига: x"}}},
         1,
         "Failed(start, Ошибка генерации конфига: x)",
         {},
         {"❌ Ошибка генерации конфига: x"}},
    };
    for (const Case& c : cases) {
        Sequence s;
        s.controller->clear_cleanup_pending();
        s.steps.starts.assign(c.starts.begin(), c.starts.end());
        CommandResult result;
        List log = vpn_log_of([&] { result = s.connect(); });
        EXPECT_EQ(name_of(result), c.result);
        List starts = starts_in(s.steps.trace);
        EXPECT_EQ(starts.size(), c.start_count) << c.result;
        EXPECT_EQ(std::count_if(s.steps.trace.begin(), s.steps.trace.end(),
                                [](const std::string& t) { return t.rfind("write ", 0) == 0; }),
                  1);
        if (starts.size() == 2) {
            // The same values, after a clean-up that was marked due first.
            EXPECT_EQ(starts[0], starts[1]);
            EXPECT_EQ(s.steps.cleanup_pending_seen, (List{"clear", "pending"}));
        }
        List retry_log;
        std::copy_if(log.begin(), log.end(), std::back_inserter(retry_log),
                     [&](const std::string& line) { return line == busy || line == other; });
        EXPECT_EQ(retry_log, c.retry_log) << c.result;
        EXPECT_EQ(s.failure_events(), c.failure_events) << c.result;
    }
}

TEST(ConnectSession, ANewerCommandEndsTheConnectAtItsCheckPoints) {
    // Queued during the clean-up or the pre-resolution: superseded before anything is started.
    for (std::string point : {"cleanup", "preresolve"}) {
        Sequence s;
        std::future<CommandResult> disconnect;
        auto queue = [&] { disconnect = s.queue_disconnect(); };
        (point == "cleanup" ? s.steps.during_cleanup : s.steps.during_preresolve) = queue;
        EXPECT_EQ(name_of(s.connect()), "Superseded") << point;
        EXPECT_EQ(s.steps.trace.back(), point);
        EXPECT_EQ(name_of(disconnect.get()), "Done");
        EXPECT_EQ(s.snapshot(), (std::vector<Event>{connecting, restored})) << point;
    }
    // Queued during a first start that fails: no retry and no failure event, but the connect
    // still ends Failed; then the newer command runs.
    Sequence s;
    s.steps.starts = {Failed{{"start", "boom"}}};
    std::future<CommandResult> disconnect;
    s.steps.during_first_start = [&] { disconnect = s.queue_disconnect(); };
    CommandResult result;
    List log = vpn_log_of([&] {
        result = s.connect();
        disconnect.wait();
    });
    EXPECT_EQ(name_of(result), "Failed(start, boom)");
    EXPECT_EQ(name_of(disconnect.get()), "Done");
    EXPECT_EQ(starts_in(s.steps.trace).size(), 1u);
    EXPECT_EQ(s.snapshot(), (std::vector<Event>{connecting, restored}));
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string(texts::retry_after_failure)), 0);
}

} // namespace
} // namespace kest::vpn
