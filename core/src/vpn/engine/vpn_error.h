#pragma once
// A failed step of the tunnel, as the engine or the core names it.
#include <string>
#include <string_view>

namespace kest::vpn {

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

} // namespace kest::vpn
