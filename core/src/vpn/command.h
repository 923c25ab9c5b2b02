#pragma once
// The records that travel between a submitter and the VPN worker.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "base/channel.h"
#include "config/route_plan.h"

namespace kest::vpn {

enum class CommandKind { Connect, Apply, Disconnect };

// The kinds the core sets itself or decides on. A kind stays text: most come from the engine's
// own report, and the engine may send kinds the core has no name for.
namespace error_kind {
inline constexpr std::string_view spawn = "spawn";   // the engine process could not be started
inline constexpr std::string_view start = "start";   // started, but no successful report
inline constexpr std::string_view reload = "reload"; // a live configuration replacement failed
// From the engine's report:
inline constexpr std::string_view config = "config";   // the configuration was rejected
inline constexpr std::string_view auth = "auth";       // the server refused us
inline constexpr std::string_view stopped = "stopped"; // the engine is shutting down
} // namespace error_kind

// kind: one of error_kind, another kind from the engine's report, or empty. Only the message
// is ever shown.
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
