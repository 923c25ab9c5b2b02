#include "vpn/session/start_engine.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../controller_support.h"
#include "../log_capture.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/process_image.h"
#include "support/bin_dir.h"
#include "support/fake_engine.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "util/write_atomic.h"
#include "vpn/controller.h"
#include "json/json.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The result with its error kind, for the failure rows.
std::string described(const CommandResult& r) {
    if (const auto* failed = std::get_if<Failed>(&r))
        return "Failed(" + failed->error.kind + "): " + failed->error.message;
    return result_name(r);
}

// What the engine double wrote about its start: its arguments, then its folder, the recorded
// variables and its process id.
struct DoubleRecord {
    Json args;
    Json facts;
};

std::optional<DoubleRecord> read_record(const std::string& path) {
    auto text = platform::read_file(path);
    if (!text)
        return std::nullopt;
    auto first_end = text->find('\n');
    auto second_end = text->find('\n', first_end + 1);
    if (second_end == std::string::npos)
        return std::nullopt;
    return DoubleRecord{Json::parse(text->substr(0, first_end)),
                        Json::parse(text->substr(first_end + 1, second_end - first_end - 1))};
}

// Whether the process has left the system by the deadline. The system may take a moment to
// forget a process after its last handle is closed, so this watches rather than asks once.
bool process_gone_within(std::uint32_t pid, std::chrono::milliseconds timeout) {
    platform::ImagePathBuffer buffer;
    auto deadline = Clock::now() + timeout;
    while (!platform::process_image_path(pid, buffer).empty()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A controller with the orphan clean-up no longer due, a configuration file for the engine
// double, and the double recording what it was started with.
class StartEngine : public ::testing::Test {
protected:
    void SetUp() override {
        controller_->clear_cleanup_pending();
        ASSERT_TRUE(write_atomic(config_, "{}"));
        env_.set("KEST_DOUBLE_RECORD", record_);
        env_.set("KEST_DOUBLE_RECORD_ENV", "KEST_TEST_INHERITED");
        env_.set("KEST_TEST_INHERITED", "из ядра ✓");
        for (const char* name :
             {"KEST_DOUBLE_START", "KEST_DOUBLE_KIND", "KEST_DOUBLE_ERROR",
              "KEST_DOUBLE_BLANK_LINES", "KEST_DOUBLE_ON_CLOSE", "KEST_DOUBLE_LINGER_MS"})
            env_.set(name, std::nullopt);
    }

    void TearDown() override { stop_session(*controller_); }

    CommandResult start(const EngineStartSteps& steps = {}) {
        return start_engine(*controller_, config_, "s3cret", 4242, plan_, "10.0.0.53", steps);
    }

    // A started engine taken back out of the controller, with its process id.
    std::pair<std::optional<EngineHandle>, std::uint32_t> start_and_take() {
        EXPECT_EQ(described(start()), "Done");
        auto record = read_record(record_);
        EXPECT_TRUE(record);
        std::uint32_t pid = record ? record->facts["pid"].get<std::uint32_t>() : 0;
        // Taken out like a stop takes it, so the session's threads end with it.
        TakenSession taken = controller_->take_session();
        taken.stop_flag->store(true);
        return {std::move(taken.engine), pid};
    }

    RecordingSink sink_;
    std::shared_ptr<VpnController> controller_ = std::make_shared<VpnController>(sink_.sink());
    testing::TempDir dir_;
    testing::ScopedEnv env_;
    std::string config_ = dir_.join("Kest Connect", "vpn_config.json");
    std::string record_ = dir_.join("record.txt");
    config::RoutePlan plan_ = [] {
        config::RoutePlan p;
        p.process_names.append("telegram.exe");
        p.selected_mode = true;
        return p;
    }();
};

TEST(EnginePath, IsTheEngineBesideTheRunningExecutable) {
    const std::string engine = engine_file_name();
    struct Case {
        std::optional<std::string_view> self;
        std::optional<std::string> engine_path;
    } cases[] = {
        {"C:\\Program Files\\Kest\\kestcore.exe", "C:\\Program Files\\Kest\\" + engine},
        {"/opt/kest/kestcore", "/opt/kest/" + engine},
        {"C:\\Kest/bin\\kestcore.exe", "C:\\Kest/bin\\" + engine},
        {"C:/Kest\\kestcore.exe", "C:/Kest\\" + engine},
        {"kestcore.exe", std::nullopt},
        {"", std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engine_exe_path_for(c.self), c.engine_path) << c.self.value_or("(none)");
    EXPECT_EQ(engine_exe_path(), testing::program_path("vuvezozire"));
}

TEST_F(StartEngine, StoresTheSessionAndReportsTheTunnelUp) {
    env_.set("KEST_DOUBLE_BLANK_LINES", "4"); // skipped before the report
    std::vector<config::RoutePlan> resets;
    EngineStartSteps steps;
    steps.reset_connections = [&](const config::RoutePlan& plan) {
        EXPECT_TRUE(controller_->engine_held()) << "the reset follows the stores";
        resets.push_back(plan);
    };
    LogCapture log;
    ASSERT_EQ(described(start(steps)), "Done");
    EXPECT_EQ(log.lines_ending_with("[vpn] ✅ Туннель Kest успешно поднят."), 1u) << log.finish();

    auto record = read_record(record_);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, Json::array({config_})) << "the configuration path is the one argument";
    EXPECT_EQ(record->facts["env"]["KEST_TEST_INHERITED"], "из ядра ✓");
    std::u8string cwd = std::filesystem::current_path().u8string();
    EXPECT_EQ(record->facts["cwd"], std::string(cwd.begin(), cwd.end()));

    SessionValues values = controller_->session_values();
    EXPECT_TRUE(values.engine_held);
    ASSERT_TRUE(values.stop_flag);
    EXPECT_FALSE(values.stop_flag->load());
    EXPECT_EQ(values.api_secret, "s3cret");
    EXPECT_EQ(values.api_port, 4242);
    EXPECT_EQ(values.bypass_resolver, "10.0.0.53");
    EXPECT_EQ(values.session_token, 1u) << "the first session of a controller";
    auto client = controller_->control_client();
    ASSERT_TRUE(client);
    EXPECT_EQ(client->secret, "s3cret");
    EXPECT_EQ(client->port, 4242);
    EXPECT_TRUE(client->agent);
    EXPECT_FALSE(controller_->cleanup_pending());

    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0], plan_);
    auto events = sink_.snapshot();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].state, VpnState::Connected);
    EXPECT_EQ(events[0].msg, "✅ Туннель Kest успешно поднят.");
}

TEST_F(StartEngine, ANewStartDropsTheStoredHandleWithoutStoppingIt) {
    testing::FakeEngine old_engine(testing::OnClosedInput::Ignore);
    auto old_flag = std::make_shared<std::atomic<bool>>(false);
    controller_->install_session(SessionStart{std::move(old_engine.handle), old_flag,
                                              controller_->next_session_token(), "old", 1, ""});
    auto began = Clock::now();
    ASSERT_EQ(described(start()), "Done");
    EXPECT_LT(Clock::now() - began, 4s) << "no stop of the old engine was waited for";

    EXPECT_TRUE(old_engine.side->process_released) << "the old handle is dropped";
    EXPECT_EQ(old_engine.side->terminated_with, -1) << "its process is not terminated";
    EXPECT_FALSE(old_engine.side->waited);
    EXPECT_FALSE(old_flag->load()) << "the old stop flag is dropped without being raised";
    SessionValues values = controller_->session_values();
    EXPECT_EQ(values.session_token, 2u);
    EXPECT_EQ(values.api_secret, "s3cret");
    EXPECT_NE(values.stop_flag, old_flag);
}

TEST_F(StartEngine, EveryFailureIsReturnedWithItsKindAndMarksTheCleanUpDue) {
    const std::string missing = dir_.join("nowhere", engine_file_name());
    const std::string not_a_program = dir_.join("not-a-program.exe");
    ASSERT_TRUE(write_atomic(not_a_program, "just text\n"));
    const std::string no_report = "движок завершился, не отчитавшись о результате";
    struct Case {
        const char* name;
        std::optional<std::optional<std::string>> exe; // unset: the real engine double
        std::vector<std::pair<const char*, const char*>> env;
        std::string kind;
        std::string message; // the start of the message when prefix_only
        bool prefix_only = false;
        const char* log_tail = nullptr; // a line logged exactly once
    } cases[] = {
        {"no own path",
         std::optional<std::string>(),
         {},
         "spawn",
         "не удалось определить путь к движку"},
        {"no engine file", missing, {}, "spawn", "движок не найден: " + missing},
        {"not startable", not_a_program, {}, "spawn", "движок не запустился: ", true},
        {"report failure",
         std::nullopt,
         {{"KEST_DOUBLE_START", "fail"},
          {"KEST_DOUBLE_KIND", "auth"},
          {"KEST_DOUBLE_ERROR", "ключ не подошёл"}},
         "auth",
         "ключ не подошёл"},
        {"failure after blank lines",
         std::nullopt,
         {{"KEST_DOUBLE_START", "fail"},
          {"KEST_DOUBLE_KIND", "config"},
          {"KEST_DOUBLE_ERROR", "bad dns"},
          {"KEST_DOUBLE_BLANK_LINES", "5"}},
         "config",
         "bad dns"},
        {"failure without a kind",
         std::nullopt,
         {{"KEST_DOUBLE_START", "fail"}, {"KEST_DOUBLE_ERROR", "что-то не так"}},
         "start",
         "что-то не так"},
        {"failure without kind or text",
         std::nullopt,
         {{"KEST_DOUBLE_START", "fail"}},
         "start",
         ""},
        {"garbage first",
         std::nullopt,
         {{"KEST_DOUBLE_START", "garbage"}},
         "start",
         no_report,
         false,
         "): tunnel up, more or less"},
        {"exit without a report",
         std::nullopt,
         {{"KEST_DOUBLE_START", "exit"}},
         "start",
         no_report},
        {"silence", std::nullopt, {{"KEST_DOUBLE_START", "hang"}}, "start", no_report},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScopedEnv env;
        for (const auto& [name, value] : c.env)
            env.set(name, value);
        EngineStartSteps steps;
        if (c.exe) {
            auto exe = *c.exe;
            steps.exe_path = [exe] { return exe; };
        }
        steps.report_timeout = 1500ms; // only the silent engine waits for it
        bool reset_called = false;
        steps.reset_connections = [&](const config::RoutePlan&) { reset_called = true; };
        controller_->clear_cleanup_pending();

        std::optional<LogCapture> log;
        if (c.log_tail)
            log.emplace();
        CommandResult result = start(steps);
        ASSERT_TRUE(std::holds_alternative<Failed>(result)) << described(result);
        const VpnError& error = std::get<Failed>(result).error;
        EXPECT_EQ(error.kind, c.kind);
        if (c.prefix_only) {
            EXPECT_EQ(error.message.rfind(c.message, 0), 0u) << error.message;
            EXPECT_GT(error.message.size(), c.message.size()) << "with the system's text";
        } else {
            EXPECT_EQ(error.message, c.message);
        }
        if (log) {
            EXPECT_EQ(log->lines_ending_with(c.log_tail), 1u) << log->finish();
            EXPECT_EQ(log->lines_ending_with("[vpn] движок отдал неразборчивый отчёт"), 0u);
        }
        EXPECT_TRUE(controller_->cleanup_pending());
        EXPECT_FALSE(controller_->engine_held());
        EXPECT_FALSE(controller_->control_client());
        EXPECT_FALSE(reset_called);
    }
    EXPECT_TRUE(sink_.snapshot().empty()) << "failures are told by the caller";
    EXPECT_EQ(controller_->session_values().session_token, 0u);
}

TEST_F(StartEngine, ANewerQueuedCommandSupersedesTheStartBeforeAnyProcess) {
    bool asked_for_path = false;
    bool cleanup_marked = true;
    bool engine_held = true;
    auto results = run_while_newer_waits(sink_.sink(), [&](VpnController& c) {
        c.clear_cleanup_pending();
        EngineStartSteps steps;
        steps.exe_path = [&] {
            asked_for_path = true;
            return engine_exe_path();
        };
        CommandResult result = start_engine(c, config_, "s3cret", 4242, plan_, "", steps);
        cleanup_marked = c.cleanup_pending();
        engine_held = c.engine_held();
        return result;
    });
    EXPECT_EQ(results.first, "Superseded");
    EXPECT_EQ(results.next, "Done");
    EXPECT_FALSE(asked_for_path);
    EXPECT_FALSE(platform::file_exists(record_)) << "no engine was started";
    EXPECT_FALSE(cleanup_marked);
    EXPECT_FALSE(engine_held);
}

TEST_F(StartEngine, StoppingARealEngineThatAnswersItsClosedInputHandsItToTheReaper) {
    env_.set("KEST_DOUBLE_LINGER_MS", "1500"); // it leaves only a while after saying so
    auto [engine, pid] = start_and_take();
    ASSERT_TRUE(engine);
    LogCapture log;
    auto began = Clock::now();
    stop_engine(*engine);
    EXPECT_LT(Clock::now() - began, 1500ms) << "stop_engine does not wait for the exit";
    EXPECT_FALSE(engine->child) << "the process went to the reaper";
    EXPECT_FALSE(engine->stdin_pipe);
    EXPECT_TRUE(process_gone_within(pid, 10s)) << "the reaper sees the engine leave on its own";
    EXPECT_EQ(log.lines_ending_with("[vpn] движок не завершился за отведённое время — убиваем"),
              0u);
}

TEST_F(StartEngine, StoppingARealEngineThatIgnoresItsClosedInputKillsItAfterFiveSeconds) {
    env_.set("KEST_DOUBLE_ON_CLOSE", "ignore");
    auto [engine, pid] = start_and_take();
    ASSERT_TRUE(engine);
    LogCapture log;
    auto began = Clock::now();
    stop_engine(*engine);
    auto took = Clock::now() - began;
    EXPECT_GE(took, 4900ms);
    EXPECT_LT(took, 8s);
    EXPECT_EQ(log.lines_ending_with("[vpn] движок не завершился за отведённое время — убиваем"), 1u)
        << log.finish();
    EXPECT_FALSE(engine->child);
    EXPECT_TRUE(process_gone_within(pid, 5s)) << "killed";
}

} // namespace
} // namespace kest::vpn
