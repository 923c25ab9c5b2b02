#pragma once
// The records that travel between a submitter and the VPN worker.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "base/channel.h"
#include "config/route_plan.h"
#include "vpn/engine/vpn_error.h"

namespace kest::vpn {

enum class CommandKind { Connect, Apply, Disconnect };

struct Done {};
struct Superseded {};
struct Failed {
    VpnError error;
};
using CommandResult = std::variant<Done, Superseded, Failed>;

// Where a command stands among the front end's requests: the number the request loop gave its
// line as it read it. Each request runs on its own thread, so two lines written together may
// reach the controller in either order; the number, not the thread, says which is newer. Empty
// for a command that takes no place in that order.
using ArrivalOrder = std::optional<std::uint64_t>;

struct VpnCommand {
    Channel<CommandResult>::Sender reply;
    std::string link;
    config::RoutePlan plan;
    CommandKind kind = CommandKind::Disconnect;
};

} // namespace kest::vpn
