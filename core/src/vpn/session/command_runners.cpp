#include "vpn/session/command_runners.h"

#include "vpn/session/connect_session.h"
#include "vpn/session/live_replacement.h"

namespace kest::vpn {

CommandRunners default_command_runners() {
    return {[](VpnController& c, VpnCommand& command) { return connect_session(c, command); },
            [](VpnController& c, VpnCommand& command) { return replace_live_config(c, command); }};
}

} // namespace kest::vpn
