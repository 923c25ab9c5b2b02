// The threads that watch a running session, each driven on its own: the stoppable wait, the
// tunnel probe against local listeners, the DNS watch and the reset schedule.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../controller_support.h"
#include "../log_capture.h"
#include "support/tcp_service.h"
#include "vpn/supervision/stoppable_wait.h"
#include "vpn/supervision/sysdns_watch.h"
#include "vpn/supervision/tcp_reset_schedule.h"
#include "vpn/supervision/tunnel_probe.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

StopFlag lowered_flag() {
    return std::make_shared<std::atomic<bool>>(false);
}

TEST(StoppableWait, EndsOnTheFlagWithinASliceAndOtherwiseWaitsItOut) {
    auto flag = lowered_flag();
    auto began = Clock::now();
    EXPECT_TRUE(stoppable_wait(*flag, 250ms));
    EXPECT_GE(Clock::now() - began, 250ms);

    flag->store(true);
    began = Clock::now();
    EXPECT_FALSE(stoppable_wait(*flag, 0ms)) << "the flag is read before the first slice";
    EXPECT_FALSE(stoppable_wait(*flag, 1h));
    EXPECT_LT(Clock::now() - began, 1s);

    auto raised_later = lowered_flag();
    std::thread raiser([&] {
        std::this_thread::sleep_for(200ms);
        raised_later->store(true);
    });
    began = Clock::now();
    EXPECT_FALSE(stoppable_wait(*raised_later, 1h));
    raiser.join();
    EXPECT_LT(Clock::now() - began, 5s) << "a raised flag ends the wait at the next slice";
}

// A listener on 127.0.0.1 that treats each connection as the script says.
enum class Peer { Answer, CloseAtOnce, Silent, CloseAfterRequest };

struct ProbeListener {
    std::mutex mutex;
    std::vector<Peer> script; // by connection; the last one repeats
    std::vector<std::string> requests;
    testing::TcpService service;

    explicit ProbeListener(std::vector<Peer> peers) : script(std::move(peers)) {
        auto started = service.start(0, [this](platform::Socket& s, int number) {
            Peer peer;
            {
                std::lock_guard lock(mutex);
                peer = script[std::min<std::size_t>(number, script.size()) - 1];
            }
            if (peer == Peer::CloseAtOnce)
                return;
            std::string request;
            char buf[256];
            while (request.find("\r\n\r\n") == std::string::npos) {
                auto r = service.recv(s, buf, sizeof buf);
                if (r.status != platform::RecvStatus::Data)
                    break;
                request.append(buf, r.bytes);
            }
            {
                std::lock_guard lock(mutex);
                requests.push_back(request);
            }
            if (peer == Peer::Answer)
                s.send_all("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
            if (peer == Peer::Silent)
                service.sleep_for(1h);
        });
        EXPECT_TRUE(started);
    }
    ProbeTarget target() { return {"127.0.0.1", service.port()}; }
    std::vector<std::string> received() {
        std::lock_guard lock(mutex);
        return requests;
    }
};

TEST(TunnelProbe, SucceedsOnlyWhenTheHeadRequestGetsAByteBack) {
    struct Case {
        const char* what;
        Peer peer;
        bool success;
    } cases[] = {
        {"answering", Peer::Answer, true},
        {"closing at once", Peer::CloseAtOnce, false},
        {"closing after the request", Peer::CloseAfterRequest, false},
        {"silent", Peer::Silent, false},
    };
    for (const auto& c : cases) {
        ProbeListener listener({c.peer});
        EXPECT_EQ(probe_tunnel(listener.target(), 300ms), c.success) << c.what;
        if (c.peer != Peer::CloseAtOnce) {
            listener.service.stop();
            EXPECT_EQ(listener.received(),
                      std::vector<std::string>{"HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
                                               "close\r\n\r\n"})
                << c.what;
        }
    }
    std::uint16_t unused_port;
    {
        ProbeListener closed({Peer::Answer});
        unused_port = closed.service.port();
    }
    EXPECT_FALSE(probe_tunnel({"127.0.0.1", unused_port}, 300ms)) << "nothing listening";
    EXPECT_FALSE(probe_tunnel({"", 443}, 300ms)) << "no address";
}

TEST(TunnelProbe, IntervalsDoubleAfterSuccessUpToTheCapAndRestartAfterFailure) {
    const auto cap = TunnelProbeSettings{}.interval_cap;
    EXPECT_EQ(interval_after_success(45s, cap), 90s);
    EXPECT_EQ(interval_after_success(90s, cap), 180s);
    EXPECT_EQ(interval_after_success(180s, cap), 300s);
    EXPECT_EQ(interval_after_success(300s, cap), 300s);
}

// A probe thread whose waits return at once, noting what they were asked to wait.
struct ProbeRun {
    RecordingSink sink;
    std::shared_ptr<VpnController> controller = std::make_shared<VpnController>(sink.sink());
    StopFlag flag = lowered_flag();
    std::shared_ptr<std::vector<std::chrono::milliseconds>> waits =
        std::make_shared<std::vector<std::chrono::milliseconds>>();

    TunnelProbeSettings settings(ProbeTarget target) {
        TunnelProbeSettings s;
        s.target = std::move(target);
        s.timeout = 300ms;
        auto noted = waits;
        s.wait = [noted](const std::atomic<bool>& stop, std::chrono::milliseconds d) {
            noted->push_back(d);
            return !stop.load();
        };
        return s;
    }
};

TEST(TunnelProbe, CountsFailuresAndAsksForARestartAfterTwoInARow) {
    ProbeListener listener({Peer::Answer, Peer::Answer, Peer::CloseAtOnce, Peer::Answer,
                            Peer::CloseAtOnce, Peer::Silent});
    ProbeRun run;
    LogCapture log;
    tunnel_probe(run.controller, run.flag, run.controller->session_values().session_token,
                 run.settings(listener.target()));
    EXPECT_EQ(*run.waits, (std::vector<std::chrono::milliseconds>{8s, 90s, 180s, 45s, 90s, 45s}));
    EXPECT_EQ(listener.service.accepted(), 6);
    EXPECT_EQ(log.lines_ending_with("[vpn] туннель поднят, но проверка через него не проходит (1)"),
              2u)
        << log.finish();
    EXPECT_EQ(log.lines_ending_with("[vpn] туннель поднят, но проверка через него не проходит (2)"),
              1u);
    EXPECT_EQ(log.lines_ending_with("[vpn] через туннель не идёт ничего — перечитываю конфиг"), 1u);
    EXPECT_EQ(run.sink.restarts, 1);
    EXPECT_TRUE(run.sink.snapshot().empty());
}

TEST(TunnelProbe, EndsWithoutProbingWhenStoppedOrWhenItsSessionIsGone) {
    ProbeListener listener({Peer::Answer});
    {
        ProbeRun run; // stopped during the first wait, which is a real one
        auto settings = run.settings(listener.target());
        settings.wait = stoppable_wait;
        settings.first_wait = 1h;
        std::thread probe(tunnel_probe, run.controller, run.flag, 0, settings);
        std::this_thread::sleep_for(150ms);
        run.flag->store(true);
        probe.join();
    }
    {
        ProbeRun run; // a newer session took over
        tunnel_probe(run.controller, run.flag, 7, run.settings(listener.target()));
        EXPECT_EQ(*run.waits, (std::vector<std::chrono::milliseconds>{8s}));
    }
    EXPECT_EQ(listener.service.accepted(), 0);
}

TEST(DnsWatch, ReportsOnceWhenThePinnedResolverLeavesTheSystemList) {
    struct Case {
        const char* what;
        std::string resolver;
        bool reported;
        bool list_read;
    } cases[] = {
        {"gone", "192.168.1.1", true, true},
        {"not an address", "dns.local", false, false},
        {"too long for an address", "192.168.001.001", false, false},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        auto controller = std::make_shared<VpnController>(sink.sink());
        auto flag = lowered_flag();
        auto reads = std::make_shared<std::atomic<int>>(0);
        DnsWatchSettings settings;
        settings.interval = 10ms;
        settings.system_dns_servers = [reads] {
            // Listed for the first two looks, then another network.
            int n = ++*reads;
            return DnsServerList{n <= 2 ? text::Ipv4Bytes{192, 168, 1, 1}
                                        : text::Ipv4Bytes{10, 0, 0, 1}};
        };
        LogCapture log;
        std::thread watch(sysdns_watch, controller, flag, c.resolver, settings);
        if (!c.reported) {
            std::this_thread::sleep_for(200ms);
            flag->store(true);
        }
        watch.join();
        EXPECT_EQ(sink.restarts, c.reported ? 1 : 0) << c.what;
        EXPECT_EQ(log.lines_ending_with("[vpn] системный DNS сменился (" + c.resolver +
                                        " больше не числится) — переподнимаю туннель"),
                  c.reported ? 1u : 0u)
            << c.what;
        EXPECT_EQ(reads->load() > 0, c.list_read) << c.what;
        if (c.reported) {
            EXPECT_EQ(reads->load(), 3) << c.what;
        }
    }
}

TEST(ResetSchedule, ResetsThreeTimesWithItsOwnPlanUnlessStopped) {
    EXPECT_EQ(ResetScheduleSettings{}.delays,
              (std::array<std::chrono::milliseconds, 3>{400ms, 1500ms, 4000ms}));
    config::RoutePlan plan;
    plan.process_names.append("telegram.exe");
    for (bool stopped_after_first : {false, true}) {
        auto flag = lowered_flag();
        std::vector<config::RoutePlan> resets;
        ResetScheduleSettings settings;
        settings.delays = {10ms, 20ms, 30ms};
        settings.reset_connections = [&](const config::RoutePlan& p) {
            resets.push_back(p);
            if (stopped_after_first)
                flag->store(true);
        };
        tcp_reset_schedule(plan, flag, settings);
        EXPECT_EQ(resets, std::vector<config::RoutePlan>(stopped_after_first ? 1 : 3, plan));
    }
}

} // namespace
} // namespace kest::vpn
