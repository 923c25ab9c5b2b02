// The parts of Socket that do not depend on the platform; the platform files define
// invalid_native(), close() and the listener.
#include "platform/net.h"

namespace kest::platform {

Socket::~Socket() {
    close();
}

Socket::Socket(Socket&& other) noexcept : native_(other.native_) {
    other.native_ = invalid_native();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        native_ = other.native_;
        other.native_ = invalid_native();
    }
    return *this;
}

bool Socket::valid() const {
    return native_ != invalid_native();
}

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
