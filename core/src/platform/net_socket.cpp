// The parts of the loopback helpers that do not depend on the platform; the platform files
// define the socket calls and the listener.
#include "platform/net.h"

namespace kest::platform {

bool can_bind_loopback(std::uint16_t port) {
    return listen_loopback(port).has_value();
}

std::optional<std::uint16_t> free_loopback_port() {
    auto s = listen_loopback(0);
    if (!s)
        return std::nullopt;
    std::uint16_t port = s->local_port();
    if (port == 0)
        return std::nullopt;
    return port;
}

} // namespace kest::platform
