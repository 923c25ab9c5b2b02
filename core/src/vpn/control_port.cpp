#include "vpn/control_port.h"

#include "platform/net.h"

namespace kest::vpn {

std::uint16_t choose_control_port(std::uint16_t preferred) {
    if (platform::can_bind_loopback(preferred))
        return preferred;
    return platform::free_loopback_port().value_or(preferred);
}

} // namespace kest::vpn
