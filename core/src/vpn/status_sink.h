#pragma once
// How the VPN session tells the front end about the tunnel. Both callables may be called from
// any thread, also under the caller's own locks: they never block and never fail.
#include <functional>
#include <string>

#include "vpn/vpn_state.h"

namespace kest::vpn {

struct StatusSink {
    std::function<void(VpnState, const std::string&)> on_state;
    std::function<void()> on_need_restart;
};

} // namespace kest::vpn
