#include "vpn/controller.h"

#include <exception>
#include <initializer_list>
#include <thread>

#include "text/lowercase.h"
#include "util/log.h"
#include "vpn/orphan_cleanup.h"

namespace kest::vpn {
namespace {

void notify_and_log(VpnController& c, VpnState state, const std::string& text) {
    c.status_sink.on_state(state, text);
    log_line(LogTag::Vpn, text);
}

CommandResult run_disconnect(VpnController& c) {
    log_line(LogTag::Vpn, "⏳ Полная остановка VPN и очистка системных маршрутов...");
    stop_session(c);
    cleanup_orphans(c);
    notify_and_log(c, VpnState::Disconnected, "✅ Настройки сети успешно восстановлены.");
    return Done{};
}

CommandResult run_guarded(VpnController& c, VpnCommand& command) {
    std::string payload;
    try {
        switch (command.kind) {
        case CommandKind::Disconnect:
            return run_disconnect(c);
        case CommandKind::Apply:
            return c.runners.apply(c, command);
        case CommandKind::Connect:
            return c.runners.connect(c, command);
        }
        payload = "неизвестная причина";
    } catch (const std::exception& e) {
        payload = e.what();
    } catch (const char* text) {
        payload = text;
    } catch (const std::string& text) {
        payload = text;
    } catch (...) {
        payload = "неизвестная причина";
    }
    std::string message = "внутренняя ошибка ядра: " + payload;
    log_line(LogTag::Vpn, "перехвачена паника: " + payload);
    if (c.queue_empty())
        notify_and_log(c, VpnState::Disconnected, "❌ " + message);
    return Failed{VpnError{"", message}};
}

void worker_loop(VpnController& c) {
    for (;;) {
        std::vector<VpnCommand> taken;
        {
            std::lock_guard lock(c.inner_mutex);
            if (c.inner.queue.empty()) {
                c.inner.worker_running = false;
                return;
            }
            taken.swap(c.inner.queue);
        }
        for (std::size_t i = 0; i + 1 < taken.size(); ++i) {
            taken[i].reply.send(Superseded{});
            taken[i].reply.reset();
        }
        VpnCommand& newest = taken.back();
        CommandResult result = run_guarded(c, newest);
        newest.reply.send(std::move(result));
    }
}

bool lowercase_contains_any(std::string_view text, std::initializer_list<std::string_view> words) {
    std::string lower = text::to_lower(text);
    for (std::string_view word : words)
        if (lower.find(word) != std::string::npos)
            return true;
    return false;
}

CommandResult not_built_yet(VpnController& c, VpnCommand&) {
    return fail_command(c, "", "", "внутренняя ошибка ядра: подключение ещё не поддерживается");
}

} // namespace

CommandRunners default_command_runners() {
    return {not_built_yet, not_built_yet};
}

CommandResult submit_command(const std::shared_ptr<VpnController>& controller, CommandKind kind,
                             std::string link, config::RoutePlan plan) {
    auto [sender, receiver] = Channel<CommandResult>::make();
    {
        std::lock_guard lock(controller->inner_mutex);
        auto& state = controller->inner;
        state.queue.push_back(
            VpnCommand{std::move(sender), std::move(link), std::move(plan), kind});
        if (!state.worker_running) {
            try {
                std::thread(vpn_worker_thread, controller).detach();
            } catch (...) {
                // Without a worker the command would wait forever: take it back out.
                state.queue.pop_back();
                throw;
            }
            state.worker_running = true;
        }
    }
    auto result = receiver.recv();
    return result ? std::move(*result) : CommandResult{Superseded{}};
}

void vpn_worker_thread(std::shared_ptr<VpnController> controller) {
    worker_loop(*controller);
}

void stop_session(VpnController& c) {
    std::optional<EngineHandle> engine;
    StopFlag flag;
    {
        std::lock_guard lock(c.inner_mutex);
        c.inner.api_client.reset();
        engine = std::move(c.inner.engine);
        c.inner.engine.reset();
        flag = std::move(c.inner.stop_flag);
        c.inner.stop_flag.reset();
    }
    if (flag)
        flag->store(true);
    if (engine)
        stop_engine(*engine);
}

CommandResult fail_command(VpnController& c, std::string_view prefix, std::string kind,
                           std::string message) {
    if (c.queue_empty()) {
        std::string user_text;
        if (message.empty())
            user_text = "";
        else if (kind == "config")
            user_text = "ошибка конфигурации: " + message;
        else if (is_no_admin_error(message))
            user_text = "нет прав на создание VPN-туннеля. Закройте приложение и запустите его от "
                        "имени администратора.";
        else
            user_text = message;
        notify_and_log(c, VpnState::Disconnected, "❌ " + std::string(prefix) + user_text);
    }
    return Failed{VpnError{std::move(kind), std::move(message)}};
}

bool is_already_exists_error(std::string_view text) {
    return lowercase_contains_any(
        text, {"already exists", "object already exists", "file already exists"});
}

bool is_no_admin_error(std::string_view text) {
    return lowercase_contains_any(
        text, {"operation not permitted", "permission denied", "нет прав администратора"});
}

} // namespace kest::vpn
