#include "vpn/session/control_values.h"

#include <array>
#include <stdexcept>

#include "platform/net.h"
#include "platform/random.h"
#include "text/hex.h"

namespace kest::vpn {

std::string make_control_secret() {
    std::array<std::uint8_t, control_secret_bytes> bytes{};
    if (auto filled = platform::fill_random(bytes); !filled)
        throw std::runtime_error(filled.error());
    return text::hex_lower(bytes);
}

std::uint16_t choose_control_port(std::uint16_t preferred) {
    if (platform::can_bind_loopback(preferred))
        return preferred;
    return platform::free_loopback_port().value_or(preferred);
}

} // namespace kest::vpn
