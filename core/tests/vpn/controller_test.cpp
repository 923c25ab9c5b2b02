#include "vpn/controller.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "controller_support.h"
#include "support/fake_engine.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;

// A connect that blocks until released, then ends Superseded when newer commands wait, the way
// the real sequence does at its check points.
struct GatedConnect {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool released = false;
    std::vector<std::string> ran;

    CommandRunner runner() {
        return [this](VpnController& c, VpnCommand& command) -> CommandResult {
            {
                std::unique_lock lock(mutex);
                ran.push_back(command.link);
                started = true;
                cv.notify_all();
                cv.wait(lock, [&] { return released || command.link != "first"; });
            }
            if (!c.queue_empty())
                return Superseded{};
            return Done{};
        };
    }
    void wait_started() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return started; });
    }
    void release() {
        std::lock_guard lock(mutex);
        released = true;
        cv.notify_all();
    }
};

TEST(VpnController, NewestOfThreeWaitingCommandsRunsAndTheOthersAreSuperseded) {
    RecordingSink sink;
    GatedConnect gate;
    auto controller =
        std::make_shared<VpnController>(sink.sink(), CommandRunners{gate.runner(), gate.runner()});
    auto submit = [&](std::string link) {
        return std::async(std::launch::async, [=] {
            return result_name(submit_command(controller, CommandKind::Connect, link, {}));
        });
    };
    auto first = submit("first");
    gate.wait_started();
    auto a = submit("a");
    wait_for_queue(*controller, 1);
    auto b = submit("b");
    wait_for_queue(*controller, 2);
    auto c = submit("c");
    wait_for_queue(*controller, 3);
    gate.release();

    EXPECT_EQ(first.get(), "Superseded"); // it saw newer commands at its check point
    EXPECT_EQ(a.get(), "Superseded");
    EXPECT_EQ(b.get(), "Superseded");
    EXPECT_EQ(c.get(), "Done");
    EXPECT_EQ(gate.ran, (std::vector<std::string>{"first", "c"}));
    EXPECT_TRUE(controller->queue_empty());
}

TEST(VpnController, DisconnectThenConnectInOneBatchRunsOnlyTheConnect) {
    RecordingSink sink;
    GatedConnect gate;
    auto controller =
        std::make_shared<VpnController>(sink.sink(), CommandRunners{gate.runner(), gate.runner()});
    auto first = std::async(std::launch::async, [&] {
        return result_name(submit_command(controller, CommandKind::Connect, "first", {}));
    });
    gate.wait_started();
    auto disconnect = std::async(std::launch::async, [&] {
        return result_name(submit_command(controller, CommandKind::Disconnect, "", {}));
    });
    wait_for_queue(*controller, 1);
    auto connect = std::async(std::launch::async, [&] {
        return result_name(submit_command(controller, CommandKind::Connect, "second", {}));
    });
    wait_for_queue(*controller, 2);
    gate.release();

    EXPECT_EQ(first.get(), "Superseded");
    EXPECT_EQ(disconnect.get(), "Superseded");
    EXPECT_EQ(connect.get(), "Done");
    // The disconnect never ran, so it told the user nothing.
    EXPECT_TRUE(sink.snapshot().empty());
}

TEST(VpnController, ACommandReachingItAfterANewerLineIsSupersededWithoutRunning) {
    RecordingSink sink;
    std::vector<std::string> ran;
    auto runner = [&](VpnController&, VpnCommand& command) -> CommandResult {
        ran.push_back(command.link);
        return Done{};
    };
    auto controller = std::make_shared<VpnController>(sink.sink(), CommandRunners{runner, runner});
    controller->clear_cleanup_pending();
    // Lines 1 (connect) and 2 (disconnect), whose threads arrived the other way round.
    EXPECT_EQ(result_name(submit_disconnect(controller, 2)), "Done");
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Connect, "line 1", {}, 1)),
              "Superseded");
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Apply, "line 1", {}, 1)),
              "Superseded");
    // Later lines, and commands outside the line order, run as before.
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Connect, "line 3", {}, 3)),
              "Done");
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Connect, "unnumbered", {})),
              "Done");
    EXPECT_EQ(ran, (std::vector<std::string>{"line 3", "unnumbered"}));
    // Only the disconnect spoke to the front end.
    EXPECT_EQ(sink.snapshot().size(), 1u);
}

TEST(VpnController, AStateForAnOlderSessionIsToldOnlyUntilANewerOneIsInstalled) {
    RecordingSink sink;
    auto controller = std::make_shared<VpnController>(sink.sink());
    testing::FakeEngine first(testing::OnClosedInput::Exit), second(testing::OnClosedInput::Exit);
    testing::install_engine(*controller, std::move(first.handle));
    const std::uint64_t old_token = controller->session_values().session_token;
    EXPECT_TRUE(controller->tell_state_for_session(old_token, VpnState::Disconnected, ""));
    // A stopped session is still the latest one: its report goes out.
    stop_session(*controller);
    EXPECT_TRUE(controller->tell_state_for_session(old_token, VpnState::Disconnected, ""));
    testing::install_engine(*controller, std::move(second.handle));
    EXPECT_FALSE(controller->tell_state_for_session(old_token, VpnState::Disconnected, ""));
    EXPECT_EQ(sink.snapshot().size(), 2u);
    stop_session(*controller);
}

TEST(VpnController, DisconnectStopsTheSessionAndReportsTheRestoredNetwork) {
    RecordingSink sink;
    auto controller = std::make_shared<VpnController>(sink.sink());
    auto flag = std::make_shared<std::atomic<bool>>(false);
    testing::FakeEngine engine(testing::OnClosedInput::Exit);
    controller->install_session(
        SessionStart{std::move(engine.handle), flag, 7, "s", 4242, "10.0.0.53"});
    ASSERT_TRUE(controller->control_client());
    EXPECT_EQ(result_name(submit_disconnect(controller)), "Done");
    EXPECT_TRUE(flag->load());
    EXPECT_TRUE(engine.side->input_closed) << "the engine was stopped";
    auto events = sink.snapshot();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].state, VpnState::Disconnected);
    EXPECT_EQ(events[0].msg, "✅ Настройки сети успешно восстановлены.");
    EXPECT_FALSE(controller->control_client());
    SessionValues values = controller->session_values();
    EXPECT_FALSE(values.engine_held);
    EXPECT_FALSE(values.stop_flag);
    // The last session's values outlive it.
    EXPECT_EQ(values.api_secret, "s");
    EXPECT_EQ(values.api_port, 4242);
    EXPECT_EQ(values.bypass_resolver, "10.0.0.53");
    EXPECT_EQ(values.session_token, 7u);
}

TEST(VpnController, APanickingCommandIsAnsweredWithTheInternalErrorText) {
    RecordingSink sink;
    auto throwing = [](VpnController&, VpnCommand&) -> CommandResult {
        throw std::runtime_error("сломалось");
    };
    auto thrown_number = [](VpnController&, VpnCommand&) -> CommandResult { throw 42; };
    auto controller =
        std::make_shared<VpnController>(sink.sink(), CommandRunners{throwing, thrown_number});

    auto result = submit_command(controller, CommandKind::Connect, "x", {});
    ASSERT_TRUE(std::holds_alternative<Failed>(result));
    EXPECT_EQ(std::get<Failed>(result).error.kind, "");
    EXPECT_EQ(std::get<Failed>(result).error.message, "внутренняя ошибка ядра: сломалось");

    result = submit_command(controller, CommandKind::Apply, "x", {});
    EXPECT_EQ(result_name(result), "Failed: внутренняя ошибка ядра: неизвестная причина");

    auto events = sink.snapshot();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].msg, "❌ внутренняя ошибка ядра: сломалось");
    EXPECT_EQ(events[1].msg, "❌ внутренняя ошибка ядра: неизвестная причина");
    // The worker survived both and still serves.
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Disconnect, "", {})), "Done");
}

TEST(VpnController, APanicWhileANewerCommandWaitsTellsTheUserNothing) {
    RecordingSink sink;
    auto results = run_while_newer_waits(
        sink.sink(), [](VpnController&) -> CommandResult { throw std::runtime_error("boom"); });
    EXPECT_EQ(results.first, "Failed: внутренняя ошибка ядра: boom");
    EXPECT_EQ(results.next, "Done");
    EXPECT_TRUE(sink.snapshot().empty());
}

TEST(VpnController, FailCommandChoosesTheUserText) {
    struct Case {
        std::string prefix, kind, message, event;
    } cases[] = {
        {"", "start", "", "❌ "},
        {"Ошибка генерации конфига: ", "", "", "❌ Ошибка генерации конфига: "},
        {"", "config", "bad dns", "❌ ошибка конфигурации: bad dns"},
        {"", "config", "Operation not permitted", "❌ ошибка конфигурации: Operation not permitted"},
        {"", "start", "open tun: OPERATION NOT PERMITTED",
         "❌ нет прав на создание VPN-туннеля. Закройте приложение и запустите его от имени "
         "администратора."},
        {"", "spawn", "Access is denied", "❌ Access is denied"},
        {"Ошибка генерации конфига: ", "", "disk full", "❌ Ошибка генерации конфига: disk full"},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        VpnController controller(sink.sink());
        auto result = fail_command(controller, c.prefix, c.kind, c.message);
        ASSERT_TRUE(std::holds_alternative<Failed>(result));
        // The error keeps the engine's own words; only the event is rephrased.
        EXPECT_EQ(std::get<Failed>(result).error.kind, c.kind);
        EXPECT_EQ(std::get<Failed>(result).error.message, c.message);
        auto events = sink.snapshot();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].state, VpnState::Disconnected);
        EXPECT_EQ(events[0].msg, c.event);
    }
}

TEST(VpnController, FailCommandIsSilentWhileANewerCommandWaits) {
    RecordingSink sink;
    auto results = run_while_newer_waits(
        sink.sink(), [](VpnController& c) { return fail_command(c, "", "start", "boom"); });
    EXPECT_EQ(results.first, "Failed: boom");
    EXPECT_EQ(results.next, "Done");
    EXPECT_TRUE(sink.snapshot().empty());
}

TEST(VpnController, ADroppedReplyChannelMeansSuperseded) {
    auto [sender, receiver] = Channel<CommandResult>::make();
    sender.reset();
    auto got = receiver.recv();
    EXPECT_FALSE(got.has_value());

    // The same through the worker: a runner that drops the reply before answering.
    RecordingSink sink;
    auto dropping = [](VpnController&, VpnCommand& command) -> CommandResult {
        command.reply.reset();
        return Done{};
    };
    auto controller =
        std::make_shared<VpnController>(sink.sink(), CommandRunners{dropping, dropping});
    EXPECT_EQ(result_name(submit_command(controller, CommandKind::Connect, "", {})), "Superseded");
}

TEST(VpnController, ErrorTextClassifiers) {
    struct Case {
        const char* text;
        bool exists, no_admin;
    } cases[] = {
        {"Cannot create a file when that file ALREADY EXISTS.", true, false},
        {"configure tun: Object already exists", true, false},
        {"Operation not permitted", false, true},
        {"open: PERMISSION DENIED", false, true},
        {"НЕТ ПРАВ АДМИНИСТРАТОРА для адаптера", false, true},
        {"Access is denied.", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_already_exists_error(c.text), c.exists) << c.text;
        EXPECT_EQ(is_no_admin_error(c.text), c.no_admin) << c.text;
    }
}

TEST(VpnController, ManySubmittersAllGetAnAnswerAndOneWorkerAtATime) {
    RecordingSink sink;
    std::atomic<int> running{0};
    std::atomic<int> overlap{0};
    auto runner = [&](VpnController&, VpnCommand&) -> CommandResult {
        if (running.fetch_add(1) != 0)
            overlap.fetch_add(1);
        std::this_thread::sleep_for(1ms);
        running.fetch_sub(1);
        return Done{};
    };
    auto controller = std::make_shared<VpnController>(sink.sink(), CommandRunners{runner, runner});
    std::vector<std::future<std::string>> results;
    for (int i = 0; i < 32; ++i)
        results.push_back(std::async(std::launch::async, [&, i] {
            return result_name(submit_command(
                controller, i % 3 == 0 ? CommandKind::Disconnect : CommandKind::Connect, "", {}));
        }));
    int done = 0;
    for (auto& r : results) {
        auto name = r.get();
        EXPECT_TRUE(name == "Done" || name == "Superseded") << name;
        done += name == "Done";
    }
    EXPECT_GE(done, 1);
    EXPECT_EQ(overlap.load(), 0);
    EXPECT_TRUE(controller->queue_empty());
}

} // namespace
} // namespace kest::vpn
