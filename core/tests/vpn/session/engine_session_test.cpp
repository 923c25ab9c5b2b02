// A session over the engine double: which of its threads a real engine start runs, what the
// crash watcher does when the engine ends on its own, and the reload exchange over real pipes.
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../controller_support.h"
#include "../log_capture.h"
#include "platform/fs.h"
#include "platform/process_image.h"
#include "support/eventually.h"
#include "support/file_lines.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "util/write_atomic.h"
#include "vpn/session/live_replacement.h"
#include "vpn/session/start_engine.h"
#include "vpn/supervision/stoppable_wait.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using testing::eventually;
using testing::file_lines;

// What the watched threads of one session did, shared with them (they outlive nothing here,
// but a detached thread must never reach into a finished test's stack).
struct Observed {
    std::atomic<int> dns_reads{0};
    std::atomic<int> probe_waits{0};
    std::atomic<bool> probe_stopped{false};
    std::atomic<int> resets{0};
};

class SessionThreads : public ::testing::Test {
protected:
    void SetUp() override {
        controller_->clear_cleanup_pending();
        ASSERT_TRUE(write_atomic(config_, "{}"));
        for (const char* name :
             {"KEST_DOUBLE_START", "KEST_DOUBLE_ON_CLOSE", "KEST_DOUBLE_RECORD",
              "KEST_DOUBLE_EXIT_AFTER_MS", "KEST_DOUBLE_RESTORE", "KEST_DOUBLE_AFTER_REPORT"})
            env_.set(name, std::nullopt);
        env_.set("KEST_DOUBLE_RESTORE_RECORD", restores_);
    }
    void TearDown() override { stop_session(*controller_); }

    // Threads that note what they do and otherwise wait long: nothing leaves this machine.
    EngineStartSteps steps() {
        EngineStartSteps s;
        s.reset_connections = [](const config::RoutePlan&) {};
        auto seen = observed_;
        s.supervision.reset_schedule.delays = {0ms, 0ms, 1h};
        s.supervision.reset_schedule.reset_connections = [seen](const config::RoutePlan&) {
            ++seen->resets;
        };
        s.supervision.dns_watch.interval = 20ms;
        s.supervision.dns_watch.system_dns_servers = [seen] {
            ++seen->dns_reads;
            return DnsServerList{text::Ipv4Bytes{10, 0, 0, 53}};
        };
        s.supervision.probe.target = {"127.0.0.1", 9}; // never reached: the first wait is long
        s.supervision.probe.first_wait = 1h;
        s.supervision.probe.wait = [seen](const std::atomic<bool>& stop,
                                          std::chrono::milliseconds d) {
            ++seen->probe_waits;
            bool waited = stoppable_wait(stop, d);
            if (!waited)
                seen->probe_stopped = true;
            return waited;
        };
        return s;
    }

    CommandResult start(const EngineStartSteps& s, bool selected, const std::string& resolver) {
        config::RoutePlan plan;
        plan.selected_mode = selected;
        return start_engine(*controller_, config_, "s3cret", 4242, plan, resolver, s);
    }

    RecordingSink sink_;
    std::shared_ptr<VpnController> controller_ = std::make_shared<VpnController>(sink_.sink());
    std::shared_ptr<Observed> observed_ = std::make_shared<Observed>();
    testing::TempDir dir_;
    testing::ScopedEnv env_;
    std::string config_ = dir_.join("vpn_config.json");
    std::string restores_ = dir_.join("restores.txt");
};

TEST_F(SessionThreads, TheProbeRunsOnlyInModeEverywhereAndTheDnsWatchOnlyWithAResolver) {
    struct Case {
        bool selected;
        const char* resolver;
        bool probe;
        bool dns_watch;
    } cases[] = {
        {false, "10.0.0.53", true, true},
        {true, "10.0.0.53", false, true},
        {false, "", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.selected ? "selected" : "everywhere") + " [" + c.resolver + "]");
        observed_ = std::make_shared<Observed>();
        ASSERT_TRUE(std::holds_alternative<Done>(start(steps(), c.selected, c.resolver)));
        EXPECT_TRUE(eventually([&] { return observed_->resets == 2; }, 10s));
        if (c.dns_watch) {
            EXPECT_TRUE(eventually([&] { return observed_->dns_reads >= 2; }, 10s));
        }
        if (c.probe) {
            EXPECT_TRUE(eventually([&] { return observed_->probe_waits == 1; }, 10s));
        }
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(observed_->dns_reads > 0, c.dns_watch);
        EXPECT_EQ(observed_->probe_waits.load(), c.probe ? 1 : 0);

        StopFlag flag = controller_->session_values().stop_flag;
        stop_session(*controller_);
        EXPECT_TRUE(flag->load());
        if (c.probe) {
            EXPECT_TRUE(eventually([&] { return observed_->probe_stopped.load(); }, 5s));
        }
        int reads = observed_->dns_reads;
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(observed_->dns_reads, reads) << "the DNS watch ended with the session";
    }
}

TEST_F(SessionThreads, AnEngineThatEndsOnItsOwnIsReportedOnceAndCleanedUpAfter) {
    const std::string missing = dir_.join("nowhere", engine_file_name());
    // There, but no program the system can start.
    const std::string unstartable = dir_.join("broken", engine_file_name());
    ASSERT_TRUE(write_atomic(unstartable, "not a program"));
    enum class Restore { Runs, NoFile, Unstartable };
    struct Case {
        const char* what;
        Restore restore;
        bool restore_hangs;
    } cases[] = {
        {"restore run", Restore::Runs, false},
        {"no engine file for the restore run", Restore::NoFile, false},
        {"restore program that cannot be started", Restore::Unstartable, false},
        {"restore run that hangs", Restore::Runs, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::ScopedEnv env;
        env.set("KEST_DOUBLE_EXIT_AFTER_MS", "1000");
        if (c.restore_hangs)
            env.set("KEST_DOUBLE_RESTORE", "hang");
        (void)platform::remove_file(restores_);
        observed_ = std::make_shared<Observed>();
        RecordingSink sink;
        controller_ = std::make_shared<VpnController>(sink.sink());
        controller_->clear_cleanup_pending();
        EngineStartSteps s = steps();
        if (c.restore == Restore::NoFile)
            s.supervision.crash_watch.restore.exe_path = [missing] { return missing; };
        if (c.restore == Restore::Unstartable)
            s.supervision.crash_watch.restore.exe_path = [unstartable] { return unstartable; };
        const bool ran = c.restore == Restore::Runs;

        LogCapture log;
        ASSERT_TRUE(std::holds_alternative<Done>(start(s, false, "10.0.0.53")));
        StopFlag flag = controller_->session_values().stop_flag;
        EXPECT_TRUE(eventually([&] { return !controller_->engine_held(); }, 10s));
        EXPECT_TRUE(flag->load()) << "the session's other threads are told to end";
        EXPECT_TRUE(eventually([&] { return sink.snapshot().size() == 2; }, 15s));
        std::this_thread::sleep_for(300ms);

        auto events = sink.snapshot();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1].state, VpnState::Disconnected);
        EXPECT_EQ(events[1].msg, "");
        EXPECT_FALSE(controller_->control_client());
        EXPECT_FALSE(controller_->session_values().stop_flag);
        EXPECT_TRUE(controller_->cleanup_pending());
        EXPECT_TRUE(observed_->probe_stopped);
        int reads = observed_->dns_reads;
        std::this_thread::sleep_for(150ms);
        EXPECT_EQ(observed_->dns_reads, reads) << "the DNS watch ended";

        auto restores = file_lines(restores_);
        EXPECT_EQ(restores.size(), ran ? 1u : 0u);
        if (c.restore_hangs && !restores.empty()) {
            platform::ImagePathBuffer buffer;
            auto pid = static_cast<std::uint32_t>(std::stoul(restores[0]));
            EXPECT_TRUE(
                eventually([&] { return platform::process_image_path(pid, buffer).empty(); }, 5s))
                << "the hanging restore run was ended";
        }
        EXPECT_EQ(log.lines_ending_with("[vpn] имена системы возвращены после падения движка"),
                  ran ? 1u : 0u)
            << log.finish();
        // With the system's reason after the colon.
        EXPECT_EQ(log.lines_matching(R"(\[vpn\] уборка имён не запустилась: .+$)"),
                  c.restore == Restore::Unstartable ? 1u : 0u)
            << log.finish();
        EXPECT_EQ(
            log.lines_ending_with(
                "[vpn] 🛑 Активное соединение с VPN разорвано со "
                "стороны "
                "ядра Sing-box."),
            1u);
    }
}

TEST_F(SessionThreads, AStoppedSessionIsNoCrash) {
    ASSERT_TRUE(std::holds_alternative<Done>(start(steps(), true, "")));
    stop_session(*controller_);
    std::this_thread::sleep_for(600ms); // past two polls of the watcher
    auto events = sink_.snapshot();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].state, VpnState::Connected);
    EXPECT_FALSE(controller_->cleanup_pending());
    EXPECT_TRUE(file_lines(restores_).empty());
}

TEST_F(SessionThreads, AnEngineBorrowedForAReloadIsNoCrash) {
    ASSERT_TRUE(std::holds_alternative<Done>(start(steps(), true, "")));
    auto engine = controller_->take_engine();
    ASSERT_TRUE(engine);
    std::this_thread::sleep_for(600ms); // the watcher looks twice and finds no engine
    controller_->put_engine_back(std::move(*engine));
    EXPECT_EQ(sink_.snapshot().size(), 1u);
    EXPECT_TRUE(controller_->session_values().stop_flag);
    EXPECT_FALSE(controller_->session_values().stop_flag->load());
    EXPECT_FALSE(controller_->cleanup_pending());
}

TEST_F(SessionThreads, TheReloadExchangeOverRealPipes) {
    struct Case {
        const char* reload;
        std::optional<std::string> error; // kind "reload" unless the engine names another
    } cases[] = {
        {"ok", std::nullopt},
        {"stopped", "движок остановился во время замены конфига"},
        {"silent", "движок не отчитался о перезагрузке"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reload);
        testing::ScopedEnv env;
        env.set("KEST_DOUBLE_RELOAD", c.reload);
        ASSERT_TRUE(std::holds_alternative<Done>(start(steps(), true, "")));
        auto engine = controller_->take_engine();
        ASSERT_TRUE(engine);
        auto error = reload_engine(*engine, config_, 500ms);
        EXPECT_EQ(error.has_value(), c.error.has_value());
        if (error && c.error) {
            EXPECT_EQ(error->kind, "reload");
            EXPECT_EQ(error->message, *c.error);
        }
        controller_->put_engine_back(std::move(*engine));
        stop_session(*controller_);
    }
}

} // namespace
} // namespace kest::vpn
