#include "vpn/session/connect_session.h"

#include <algorithm>

#include "config/config_file.h"
#include "config/environment.h"
#include "platform/env.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "util/log.h"
#include "vpn/dns/pick_system_dns.h"
#include "vpn/dns/preresolve.h"
#include "vpn/dns/system_dns.h"
#include "vpn/host/connection_reset.h"
#include "vpn/host/orphan_cleanup.h"
#include "vpn/host/system_proxy.h"
#include "vpn/session/control_values.h"
#include "vpn/session/start_engine.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

// Empty unless every system DNS server is a loopback stub; then a system server that answers,
// for the queries of the domains routed direct.
std::string bypass_resolver(ConnectSteps& steps) {
    std::vector<text::IpAddress> servers = steps.system_dns_servers();
    if (servers.empty() || !std::all_of(servers.begin(), servers.end(), is_loopback_dns_server))
        return {};
    std::string resolver = steps.pick_system_dns();
    if (resolver.empty())
        log_line(LogTag::Vpn, texts::bypass_resolver_missing);
    else
        log_line(LogTag::Vpn, fill_text(texts::bypass_resolver_found, {resolver}));
    return resolver;
}

// The steps on this machine, with the configuration environment of one command.
class SystemConnectSteps final : public ConnectSteps {
public:
    explicit SystemConnectSteps(config::ConfigEnvironment environment)
        : environment_(std::move(environment)) {}

    void reset_connections(const config::RoutePlan& plan) override {
        reset_rule_app_connections(plan);
    }
    void cleanup_orphans(VpnController& controller) override { vpn::cleanup_orphans(controller); }
    Expected<config::Outbound> parse_share_link(std::string_view link) override {
        return config::parse_share_link(link, {environment_.udp_over_tcp_disabled});
    }
    void preresolve_server(config::Outbound& outbound) override {
        vpn::preresolve_server(outbound);
    }
    std::string control_secret() override { return make_control_secret(); }
    std::uint16_t control_port() override { return choose_control_port(); }
    std::vector<text::IpAddress> system_dns_servers() override { return vpn::system_dns_servers(); }
    std::string pick_system_dns() override { return vpn::pick_system_dns(); }
    std::string config_path() override {
        return text::join_path(environment_.data_directory, config_file_name,
                               platform::path_separator());
    }
    Expected<void> write_config(const config::Outbound& outbound, const config::RoutePlan& plan,
                                const std::string& secret, std::uint16_t port,
                                const std::string& resolver, const std::string& path) override {
        config::ConfigInputs inputs{
            secret, port, resolver, path, environment_.data_directory, environment_.engine_log};
        auto written = config::build_engine_config(outbound, plan, inputs);
        if (!written)
            return unexpected(written.error());
        return {};
    }
    CommandResult start_engine(VpnController& controller, const std::string& path,
                               const std::string& secret, std::uint16_t port,
                               const config::RoutePlan& plan,
                               const std::string& resolver) override {
        return vpn::start_engine(controller, path, secret, port, plan, resolver);
    }
    std::optional<std::string> loopback_system_proxy() override {
        return vpn::loopback_system_proxy();
    }

private:
    static constexpr std::string_view config_file_name = "vpn_config.json";
    config::ConfigEnvironment environment_;
};

} // namespace

bool is_loopback_dns_server(const text::IpAddress& server) {
    if (const auto* v4 = std::get_if<text::Ipv4Bytes>(&server))
        return (*v4)[0] == 127;
    const auto& v6 = std::get<text::Ipv6Bytes>(server);
    bool zero_head = std::all_of(v6.begin(), v6.begin() + 10, [](auto b) { return b == 0; });
    if (!zero_head)
        return false;
    if (v6[10] == 0 && v6[11] == 0)
        return std::all_of(v6.begin() + 12, v6.begin() + 15, [](auto b) { return b == 0; }) &&
               v6[15] == 1;
    return v6[10] == 0xff && v6[11] == 0xff && v6[12] == 127;
}

bool retry_ruled_out(const VpnError& error) {
    const std::string& message = vpn_error_message(error);
    if (is_no_admin_error(message))
        return true;
    std::string lower = text::to_lower(message);
    for (std::string_view word : texts::unrecoverable_failure_words)
        if (lower.find(word) != std::string::npos)
            return true;
    return error.kind == "config" || error.kind == "auth";
}

std::variant<config::Outbound, CommandResult>
prepare_outbound(VpnController& c, const VpnCommand& command, ConnectSteps& steps) {
    auto outbound = steps.parse_share_link(command.link);
    if (!outbound)
        return fail_command(c, "", "", outbound.error());
    steps.preresolve_server(*outbound);
    if (!c.queue_empty())
        return CommandResult{Superseded{}};
    return std::move(*outbound);
}

CommandResult connect_session(VpnController& c, VpnCommand& command, ConnectSteps& steps) {
    c.status_sink().on_state(VpnState::Connecting, std::string(texts::preparing_network));
    log_line(LogTag::Vpn, texts::preparing_network);

    steps.reset_connections(command.plan);
    stop_session(c);
    steps.cleanup_orphans(c);
    if (!c.queue_empty())
        return Superseded{};

    auto prepared = prepare_outbound(c, command, steps);
    if (auto* end = std::get_if<CommandResult>(&prepared))
        return std::move(*end);
    const config::Outbound& outbound = std::get<config::Outbound>(prepared);

    const std::string secret = steps.control_secret();
    const std::uint16_t port = steps.control_port();
    const std::string resolver = bypass_resolver(steps);
    const std::string path = steps.config_path();
    if (auto written = steps.write_config(outbound, command.plan, secret, port, resolver, path);
        !written)
        return fail_command(c, texts::config_write_failed_prefix, "", written.error());

    CommandResult result = steps.start_engine(c, path, secret, port, command.plan, resolver);
    if (const auto* failed = std::get_if<Failed>(&result);
        failed && !retry_ruled_out(failed->error) && c.queue_empty()) {
        log_line(LogTag::Vpn, is_already_exists_error(failed->error.message)
                                  ? texts::retry_adapter_busy
                                  : texts::retry_after_failure);
        c.mark_cleanup_pending();
        steps.cleanup_orphans(c);
        // The configuration written above serves the second start too.
        result = steps.start_engine(c, path, secret, port, command.plan, resolver);
    }

    if (std::holds_alternative<Done>(result)) {
        if (auto proxy = steps.loopback_system_proxy())
            log_line(LogTag::Vpn, fill_text(texts::system_proxy_on, {*proxy}));
        return result;
    }
    if (auto* failed = std::get_if<Failed>(&result))
        return fail_command(c, "", std::move(failed->error.kind), std::move(failed->error.message));
    return result;
}

std::unique_ptr<ConnectSteps> system_connect_steps() {
    return std::make_unique<SystemConnectSteps>(config::read_config_environment());
}

CommandResult connect_session(VpnController& controller, VpnCommand& command) {
    return connect_session(controller, command, *system_connect_steps());
}

} // namespace kest::vpn
