#pragma once
// The tunnel state as the front end sees it.
#include <cstdint>
#include <string_view>

namespace kest::vpn {

enum class VpnState : std::uint8_t { Disconnected = 0, Connecting = 1, Connected = 2 };

constexpr std::string_view state_name(VpnState s) {
    switch (s) {
    case VpnState::Connecting:
        return "connecting";
    case VpnState::Connected:
        return "connected";
    case VpnState::Disconnected:
        break;
    }
    return "disconnected";
}

} // namespace kest::vpn
