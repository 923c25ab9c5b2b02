#pragma once
// Brings a tunnel up from nothing for one command: tears down whatever runs, prepares the
// network environment, makes the session's control values, writes the engine configuration and
// starts the engine, cleaning up and starting once more after a failure worth a second try.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/expected.h"
#include "config/route_plan.h"
#include "config/share_link.h"
#include "text/ip_address.h"
#include "vpn/command.h"
#include "vpn/controller.h"

namespace kest::vpn {

// What the sequence does to the system, one operation per step, so that the order and the
// rules between the steps can be followed without touching the machine.
class ConnectSteps {
public:
    virtual ~ConnectSteps() = default;

    virtual void reset_connections(const config::RoutePlan& plan) = 0;
    virtual void cleanup_orphans(VpnController& controller) = 0;
    virtual Expected<config::Outbound> parse_share_link(std::string_view link) = 0;
    virtual void preresolve_server(config::Outbound& outbound) = 0;
    virtual std::string control_secret() = 0;
    virtual std::uint16_t control_port() = 0;
    virtual std::vector<text::IpAddress> system_dns_servers() = 0;
    virtual std::string pick_system_dns() = 0;
    virtual std::string config_path() = 0;
    virtual Expected<void> write_config(const config::Outbound& outbound,
                                        const config::RoutePlan& plan, const std::string& secret,
                                        std::uint16_t port, const std::string& resolver,
                                        const std::string& path) = 0;
    virtual CommandResult start_engine(VpnController& controller, const std::string& path,
                                       const std::string& secret, std::uint16_t port,
                                       const config::RoutePlan& plan,
                                       const std::string& resolver) = 0;
    virtual std::optional<std::string> loopback_system_proxy() = 0;
};

// A loopback address: 127.0.0.0/8, ::1, or ::ffff:127.x.y.z.
bool is_loopback_dns_server(const text::IpAddress& server);

// Failures a second start cannot mend: missing rights, a share link or configuration the
// engine or the core rejected (by their words), and the report kinds "config" and "auth".
bool retry_ruled_out(const VpnError& error);

// The command's share link as the engine's outbound with its server resolved ahead; or how the
// command ends instead: a link that does not parse fails it (told to the user), a newer command
// waiting by then supersedes it.
std::variant<config::Outbound, CommandResult>
prepare_outbound(VpnController& controller, const VpnCommand& command, ConnectSteps& steps);

CommandResult connect_session(VpnController& controller, VpnCommand& command, ConnectSteps& steps);

// The steps on this machine, with the configuration environment read once, now.
std::unique_ptr<ConnectSteps> system_connect_steps();

// The sequence on this machine, its configuration environment read once for the command.
CommandResult connect_session(VpnController& controller, VpnCommand& command);

} // namespace kest::vpn
