#include "vpn/session/live_replacement.h"

#include "util/log.h"
#include "vpn/dns/pinned_resolver.h"
#include "vpn/engine/start_report.h"
#include "vpn/texts.h"
#include "json/json.h"

namespace kest::vpn {
namespace {

VpnError reload_error(std::string_view message) {
    return VpnError{std::string(error_kind::reload), std::string(message)};
}

} // namespace

std::optional<VpnError> reload_engine(EngineHandle& engine, const std::string& config_path,
                                      std::chrono::milliseconds timeout) {
    if (!engine.stdin_pipe)
        return reload_error(texts::engine_already_stopped);
    auto line = json::dump_compact(Json{{"cmd", "reload"}, {"config", config_path}});
    if (!line || !engine.stdin_pipe->write(*line + "\n"))
        return reload_error(texts::engine_refused_command);
    auto report = wait_start_report(engine.reports, timeout);
    if (!report)
        return reload_error(texts::engine_no_reload_report);
    if (report->kind == error_kind::stopped)
        return reload_error(texts::engine_stopped_during_reload);
    if (report->ok)
        return std::nullopt;
    std::string kind = report->kind.empty() ? std::string(error_kind::reload) : report->kind;
    return VpnError{std::move(kind), std::move(report->error)};
}

CommandResult replace_live_config(VpnController& c, VpnCommand& command, ConnectSteps& steps,
                                  std::chrono::milliseconds timeout) {
    SessionValues session = c.session_values();
    if (!session.engine_held || session.api_port == 0 || session.api_secret.empty())
        return connect_session(c, command, steps);

    steps.reset_connections(command.plan);

    std::string resolver = session.bypass_resolver;
    if (pinned_resolver_gone(resolver, [&] { return steps.system_dns_servers(); })) {
        log_line(LogTag::Vpn, texts::pinned_resolver_gone);
        resolver = steps.pick_system_dns();
    }

    auto prepared = prepare_outbound(c, command, steps);
    if (auto* end = std::get_if<CommandResult>(&prepared))
        return std::move(*end);
    const config::Outbound& outbound = std::get<config::Outbound>(prepared);

    const std::string path = steps.config_path();
    if (auto written = steps.write_config(outbound, command.plan, session.api_secret,
                                          session.api_port, resolver, path);
        !written)
        return fail_command(c, texts::config_write_failed_prefix, "", written.error());

    // While the engine is out, "is_connected" says false and the crash watcher waits.
    std::optional<EngineHandle> engine = c.take_engine();
    if (!engine)
        return connect_session(c, command, steps);
    std::optional<VpnError> error = reload_engine(*engine, path, timeout);

    if (!error) {
        c.put_engine_back(std::move(*engine));
        log_line(LogTag::Vpn, texts::config_replaced);
        steps.reset_connections(command.plan);
        c.status_sink().on_state(VpnState::Connected, std::string(texts::tunnel_up));
        log_line(LogTag::Vpn, texts::tunnel_up);
        return Done{};
    }
    // The engine stays out until it is stopped: it may have died in the exchange, and put back
    // it would be the crash watcher's for as long as the log line takes (as long as the front
    // end is slow to read the log), which would run a restore beside the fallback connect.
    log_line(LogTag::Vpn, fill_text(texts::replacement_failed, {error->message}));
    stop_session(c, std::move(*engine));
    c.mark_cleanup_pending();
    return connect_session(c, command, steps);
}

CommandResult replace_live_config(VpnController& controller, VpnCommand& command) {
    return replace_live_config(controller, command, *system_connect_steps());
}

} // namespace kest::vpn
