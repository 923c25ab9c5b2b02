#pragma once
// The records that travel between a submitter and the VPN worker.
#include <string>
#include <variant>

#include "base/channel.h"
#include "config/route_plan.h"

namespace kest::vpn {

enum class CommandKind { Connect, Apply, Disconnect };

// kind: "spawn", "start", "reload", a kind from the engine's report, or empty. Only the
// message is ever shown.
struct VpnError {
    std::string kind;
    std::string message;
};

inline const std::string& vpn_error_message(const VpnError& e) {
    return e.message;
}

struct Done {};
struct Superseded {};
struct Failed {
    VpnError error;
};
using CommandResult = std::variant<Done, Superseded, Failed>;

struct VpnCommand {
    Channel<CommandResult>::Sender reply;
    std::string link;
    config::RoutePlan plan;
    CommandKind kind = CommandKind::Disconnect;
};

} // namespace kest::vpn
