#pragma once
// A shared state for dispatcher tests, with a controller whose status reports go nowhere.
#include <memory>

#include "rpc/app_state.h"

namespace kest::rpc {

inline std::shared_ptr<AppState> make_state() {
    auto controller = std::make_shared<vpn::VpnController>(
        vpn::StatusSink{[](vpn::VpnState, const std::string&) {}, [] {}});
    return std::make_shared<AppState>(controller);
}

} // namespace kest::rpc
