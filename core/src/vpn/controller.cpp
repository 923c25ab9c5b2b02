#include "vpn/controller.h"

#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "base/detached_thread.h"
#include "text/lowercase.h"
#include "util/log.h"
#include "vpn/host/orphan_cleanup.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

void notify_and_log(VpnController& c, VpnState state, const std::string& text) {
    c.status_sink().on_state(state, text);
    log_line(LogTag::Vpn, text);
}

CommandResult run_disconnect(VpnController& c) {
    log_line(LogTag::Vpn, texts::disconnect_begins);
    stop_session(c);
    cleanup_orphans(c);
    notify_and_log(c, VpnState::Disconnected, std::string(texts::network_restored));
    return Done{};
}

CommandResult run_guarded(VpnController& c, VpnCommand& command) {
    std::string payload;
    try {
        switch (command.kind) {
        case CommandKind::Disconnect:
            return run_disconnect(c);
        case CommandKind::Apply:
            return c.runners().apply(c, command);
        case CommandKind::Connect:
            return c.runners().connect(c, command);
        }
        payload = texts::unknown_cause;
    } catch (const std::exception& e) {
        payload = e.what();
    } catch (const char* text) {
        payload = text;
    } catch (const std::string& text) {
        payload = text;
    } catch (...) {
        payload = texts::unknown_cause;
    }
    std::string message = fill_text(texts::internal_error, {payload});
    log_line(LogTag::Vpn, fill_text(texts::panic_caught, {payload}));
    if (c.queue_empty())
        notify_and_log(c, VpnState::Disconnected, fill_text(texts::failure_event, {message}));
    return Failed{VpnError{"", message}};
}

bool contains_any_ignoring_case(std::string_view text,
                                std::initializer_list<std::string_view> words) {
    for (std::string_view word : words)
        if (text::contains_ignoring_case(text, word))
            return true;
    return false;
}

} // namespace

bool VpnController::engine_held() {
    std::lock_guard lock(inner_mutex_);
    return inner_.engine.has_value();
}

std::optional<ApiClient> VpnController::control_client() {
    std::lock_guard lock(inner_mutex_);
    return inner_.api_client;
}

SessionValues VpnController::session_values() {
    std::lock_guard lock(inner_mutex_);
    return {inner_.engine.has_value(), inner_.stop_flag,       inner_.api_secret,
            inner_.api_port,           inner_.bypass_resolver, inner_.session_token};
}

bool VpnController::queue_empty() {
    std::lock_guard lock(inner_mutex_);
    return inner_.queue.empty();
}

std::size_t VpnController::queue_length() {
    std::lock_guard lock(inner_mutex_);
    return inner_.queue.size();
}

void VpnController::install_session(SessionStart session) {
    // The old handle and client are dropped after the lock: closing handles is system work.
    std::optional<EngineHandle> old_engine;
    std::optional<ApiClient> old_client;
    ApiClient client = make_api_client(session.secret, session.port);
    {
        std::lock_guard events(session_events_mutex_);
        std::lock_guard lock(inner_mutex_);
        old_engine = std::exchange(inner_.engine, std::move(session.engine));
        old_client = std::exchange(inner_.api_client, std::move(client));
        inner_.stop_flag = std::move(session.stop_flag);
        inner_.session_token = session.token;
        inner_.api_secret = std::move(session.secret);
        inner_.api_port = session.port;
        inner_.bypass_resolver = std::move(session.resolver);
    }
}

TakenSession VpnController::take_session() {
    TakenSession taken;
    std::optional<ApiClient> old_client;
    {
        std::lock_guard lock(inner_mutex_);
        old_client = std::exchange(inner_.api_client, std::nullopt);
        taken.engine = std::exchange(inner_.engine, std::nullopt);
        taken.stop_flag = std::exchange(inner_.stop_flag, nullptr);
    }
    return taken;
}

bool VpnController::session_current(std::uint64_t token) {
    std::lock_guard lock(inner_mutex_);
    return inner_.session_token == token;
}

bool VpnController::tell_state_for_session(std::uint64_t token, VpnState state,
                                           const std::string& text) {
    // Held across the report, so that a session installed meanwhile waits for it and its own
    // events come after.
    std::lock_guard events(session_events_mutex_);
    if (!session_current(token))
        return false;
    status_sink_.on_state(state, text);
    return true;
}

EngineWatch VpnController::watch_engine(std::uint64_t token) {
    // Closing the handles is system work: done after the lock.
    std::optional<EngineHandle> ended;
    std::optional<ApiClient> old_client;
    {
        std::lock_guard lock(inner_mutex_);
        if (inner_.session_token != token)
            return EngineWatch::Gone;
        if (!inner_.engine)
            return inner_.stop_flag ? EngineWatch::Running : EngineWatch::Gone;
        if (inner_.engine->child && !inner_.engine->child->try_wait())
            return EngineWatch::Running;
        ended = std::exchange(inner_.engine, std::nullopt);
        old_client = std::exchange(inner_.api_client, std::nullopt);
        StopFlag flag = std::exchange(inner_.stop_flag, nullptr);
        if (flag)
            flag->store(true);
    }
    return EngineWatch::Crashed;
}

std::optional<EngineHandle> VpnController::take_engine() {
    std::lock_guard lock(inner_mutex_);
    return std::exchange(inner_.engine, std::nullopt);
}

void VpnController::put_engine_back(EngineHandle engine) {
    std::optional<EngineHandle> replaced;
    {
        std::lock_guard lock(inner_mutex_);
        replaced = std::exchange(inner_.engine, std::move(engine));
    }
}

std::vector<VpnCommand> VpnController::take_queue_or_retire() {
    std::lock_guard lock(inner_mutex_);
    if (inner_.queue.empty())
        inner_.worker_running = false;
    return std::exchange(inner_.queue, {});
}

CommandResult submit_command(const std::shared_ptr<VpnController>& controller, CommandKind kind,
                             std::string link, config::RoutePlan plan, ArrivalOrder arrival) {
    auto [sender, receiver] = Channel<CommandResult>::make();
    {
        std::lock_guard lock(controller->inner_mutex_);
        auto& state = controller->inner_;
        if (arrival) {
            if (*arrival < state.newest_arrival)
                return Superseded{};
            state.newest_arrival = *arrival;
        }
        state.queue.push_back(
            VpnCommand{std::move(sender), std::move(link), std::move(plan), kind});
        if (!state.worker_running) {
            auto started = start_detached(vpn_worker_thread, controller);
            if (!started) {
                // Without a worker the command would wait forever: take it back out, so the
                // next submitter tries again with a clean queue.
                state.queue.pop_back();
                throw std::runtime_error(fill_text(texts::worker_refused, {started.error()}));
            }
            state.worker_running = true;
        }
    }
    auto result = receiver.recv();
    return result ? std::move(*result) : CommandResult{Superseded{}};
}

CommandResult submit_disconnect(const std::shared_ptr<VpnController>& controller,
                                ArrivalOrder arrival) {
    return submit_command(controller, CommandKind::Disconnect, "", config::RoutePlan{}, arrival);
}

void vpn_worker_thread(std::shared_ptr<VpnController> controller) {
    for (;;) {
        std::vector<VpnCommand> taken = controller->take_queue_or_retire();
        if (taken.empty())
            return;
        for (std::size_t i = 0; i + 1 < taken.size(); ++i) {
            taken[i].reply.send(Superseded{});
            taken[i].reply.reset();
        }
        VpnCommand& newest = taken.back();
        CommandResult result = run_guarded(*controller, newest);
        newest.reply.send(std::move(result));
    }
}

void cleanup_orphans(VpnController& c) {
    cleanup_orphans(c.cleanup_pending_flag());
}

void stop_session(VpnController& c) {
    TakenSession taken = c.take_session();
    if (taken.stop_flag)
        taken.stop_flag->store(true);
    if (taken.engine)
        stop_engine(*taken.engine);
}

void stop_session(VpnController& c, EngineHandle borrowed) {
    stop_session(c);
    stop_engine(borrowed);
}

CommandResult fail_command(VpnController& c, std::string_view prefix, std::string kind,
                           std::string message) {
    if (c.queue_empty()) {
        std::string user_text;
        if (message.empty())
            user_text = "";
        else if (kind == error_kind::config)
            user_text = fill_text(texts::config_rejected, {message});
        else if (is_no_admin_error(message))
            user_text = texts::no_admin_rights;
        else
            user_text = message;
        notify_and_log(c, VpnState::Disconnected,
                       fill_text(texts::failure_event, {std::string(prefix) + user_text}));
    }
    return Failed{VpnError{std::move(kind), std::move(message)}};
}

bool is_already_exists_error(std::string_view text) {
    return contains_any_ignoring_case(
        text, {"already exists", "object already exists", "file already exists"});
}

bool is_no_admin_error(std::string_view text) {
    return contains_any_ignoring_case(
        text, {"operation not permitted", "permission denied", "нет прав администратора"});
}

} // namespace kest::vpn
