#include "platform/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/posix/error_text.h"
#include "platform/unique_handle.h"

namespace kest::platform {
namespace {

int fd_of(const Socket& s) {
    return static_cast<int>(static_cast<std::intptr_t>(s.native()));
}

Socket from_fd(int fd) {
    return Socket(static_cast<Socket::Native>(static_cast<std::intptr_t>(fd)));
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::string errno_text(const char* what) {
    return std::string(what) + ": " + posix::error_text(errno);
}

// Waits for the events on fd; 1 ready, 0 time-out, -1 failure.
int wait_for(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd p{fd, events, 0};
    for (;;) {
        int n = ::poll(&p, 1, static_cast<int>(timeout.count()));
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? -1 : (n == 0 ? 0 : 1);
    }
}

Expected<Socket> bound_listener(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return unexpected(errno_text("socket"));
    Socket s = from_fd(fd);
    // Without it a port whose earlier connections linger in TIME_WAIT could not be bound
    // again, although nobody listens on it any more.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr = loopback(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(errno_text("bind"));
    if (::listen(fd, 64) != 0)
        return unexpected(errno_text("listen"));
    return s;
}

sockaddr_in ipv4_socket_address(const text::Ipv4Bytes& address, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    std::memcpy(&addr.sin_addr, address.data(), address.size());
    return addr;
}

bool set_timeout(int fd, int option, std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

Expected<Socket> bound_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return unexpected(errno_text("socket"));
    Socket s = from_fd(fd);
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(errno_text("bind"));
    return s;
}

struct AddressListTraits {
    using type = addrinfo*;
    static addrinfo* invalid() noexcept { return nullptr; }
    static void close(addrinfo* list) noexcept { ::freeaddrinfo(list); }
};

} // namespace

void SocketTraits::close(type native) noexcept {
    ::close(static_cast<int>(static_cast<std::intptr_t>(native)));
}

bool Socket::send_all(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_of(*this), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

RecvResult Socket::recv(char* buf, std::size_t size, std::chrono::milliseconds timeout) {
    int ready = wait_for(fd_of(*this), POLLIN, timeout);
    if (ready == 0)
        return {RecvStatus::TimedOut};
    if (ready < 0)
        return {RecvStatus::Error};
    for (;;) {
        ssize_t n = ::recv(fd_of(*this), buf, size, 0);
        if (n > 0)
            return {RecvStatus::Data, static_cast<std::size_t>(n)};
        if (n == 0)
            return {RecvStatus::Closed};
        if (errno == EINTR)
            continue;
        return {RecvStatus::Error};
    }
}

void Socket::shutdown_both() {
    if (valid())
        ::shutdown(fd_of(*this), SHUT_RDWR);
}

std::uint16_t Socket::local_port() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (!valid() || ::getsockname(fd_of(*this), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

Expected<Socket> listen_loopback(std::uint16_t port) {
    return bound_listener(port);
}

std::optional<Socket> accept_connection(Socket& listener, std::chrono::milliseconds timeout) {
    if (wait_for(fd_of(listener), POLLIN, timeout) != 1)
        return std::nullopt;
    for (;;) {
        int fd = ::accept4(fd_of(listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            return from_fd(fd);
        if (errno != EINTR)
            return std::nullopt;
    }
}

Expected<Socket> connect_loopback(std::uint16_t port, std::chrono::milliseconds timeout) {
    return connect_tcp({127, 0, 0, 1}, port, timeout);
}

Expected<Socket> connect_tcp(const text::Ipv4Bytes& address, std::uint16_t port,
                             std::chrono::milliseconds timeout) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return unexpected(errno_text("socket"));
    Socket s = from_fd(fd);
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS)
            return unexpected(errno_text("connect"));
        int ready = wait_for(fd, POLLOUT, timeout);
        if (ready == 0)
            return unexpected(std::string("connect: timed out"));
        int err = 0;
        socklen_t len = sizeof err;
        if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            return unexpected(errno_text("connect"));
        if (err != 0) {
            errno = err;
            return unexpected(errno_text("connect"));
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return s;
}

bool set_send_receive_timeouts(Socket& socket, std::chrono::milliseconds timeout) {
    bool receive = set_timeout(fd_of(socket), SO_RCVTIMEO, timeout);
    bool send = set_timeout(fd_of(socket), SO_SNDTIMEO, timeout);
    return receive && send;
}

Expected<Socket> open_udp(std::chrono::milliseconds send_timeout,
                          std::chrono::milliseconds receive_timeout) {
    auto s = bound_udp({0, 0, 0, 0}, 0);
    if (!s)
        return s;
    if (!set_timeout(fd_of(*s), SO_RCVTIMEO, receive_timeout) ||
        !set_timeout(fd_of(*s), SO_SNDTIMEO, send_timeout))
        return unexpected(errno_text("setsockopt"));
    return s;
}

Expected<void> connect_udp(Socket& socket, const text::Ipv4Bytes& address, std::uint16_t port) {
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (::connect(fd_of(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(errno_text("connect"));
    return {};
}

Expected<void> send_datagram(Socket& socket, std::string_view bytes) {
    for (;;) {
        ssize_t n = ::send(fd_of(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unexpected(errno_text("send"));
        if (static_cast<std::size_t>(n) != bytes.size())
            return unexpected(std::string("send: datagram cut short"));
        return {};
    }
}

Expected<std::size_t> receive_datagram(Socket& socket, char* buf, std::size_t size) {
    for (;;) {
        ssize_t n = ::recv(fd_of(socket), buf, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unexpected(errno_text("recv"));
        return static_cast<std::size_t>(n);
    }
}

Expected<Socket> bind_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    return bound_udp(address, port);
}

std::optional<std::size_t> receive_datagram_from(Socket& socket, char* buf, std::size_t size,
                                                 std::chrono::milliseconds timeout, UdpPeer& from) {
    if (wait_for(fd_of(socket), POLLIN, timeout) != 1)
        return std::nullopt;
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ssize_t n = ::recvfrom(fd_of(socket), buf, size, 0, reinterpret_cast<sockaddr*>(&addr), &len);
    if (n < 0 || addr.sin_family != AF_INET)
        return std::nullopt;
    std::memcpy(from.address.data(), &addr.sin_addr, from.address.size());
    from.port = ntohs(addr.sin_port);
    return static_cast<std::size_t>(n);
}

bool send_datagram_to(Socket& socket, std::string_view bytes, const UdpPeer& to) {
    sockaddr_in addr = ipv4_socket_address(to.address, to.port);
    ssize_t n = ::sendto(fd_of(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                         reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    return n >= 0 && static_cast<std::size_t>(n) == bytes.size();
}

Expected<std::vector<text::IpAddress>> resolve_host(std::string_view host) {
    if (host.find('\0') != std::string_view::npos)
        return unexpected(std::string("getaddrinfo: the name holds a NUL byte"));
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM; // one entry per address rather than one per socket type
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(std::string(host).c_str(), "0", &hints, &list);
    if (rc != 0)
        return unexpected("getaddrinfo: " + std::string(::gai_strerror(rc)));
    UniqueHandle<AddressListTraits> owned(list);
    std::vector<text::IpAddress> out;
    for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            text::Ipv4Bytes v4;
            std::memcpy(v4.data(), &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, 4);
            out.emplace_back(v4);
        } else if (a->ai_family == AF_INET6 && a->ai_addr) {
            text::Ipv6Bytes v6;
            std::memcpy(v6.data(), &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, 16);
            out.emplace_back(v6);
        }
    }
    return out;
}

} // namespace kest::platform
