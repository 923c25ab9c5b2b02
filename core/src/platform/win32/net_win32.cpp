#include "platform/net.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

// Winsock needs one WSAStartup per process before the first socket call; it is never undone,
// the process end releases it.
void ensure_winsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

SOCKET sock_of(const Socket& s) {
    return static_cast<SOCKET>(s.native());
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::string wsa_text(const char* what) {
    return std::string(what) + ": " + win32::error_text(static_cast<DWORD>(WSAGetLastError()));
}

// A child process (the engine) must not inherit our sockets.
Expected<Socket> new_socket(int type = SOCK_STREAM, int protocol = IPPROTO_TCP) {
    ensure_winsock();
    SOCKET s = WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return unexpected(wsa_text("socket"));
    return Socket(static_cast<Socket::Native>(s));
}

// Waits until the socket is readable (or writable); 1 ready, 0 time-out, -1 failure. For a
// connect in progress a failure shows in the exception set.
int wait_for(SOCKET s, bool write, std::chrono::milliseconds timeout) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeout.count() / 1000);
    tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
    int n =
        select(0, write ? nullptr : &set, write ? &set : nullptr, write ? &failed : nullptr, &tv);
    if (n == SOCKET_ERROR)
        return -1;
    if (n == 0)
        return 0;
    return FD_ISSET(s, &set) ? 1 : -1;
}

Expected<Socket> bound_listener(std::uint16_t port) {
    auto s = new_socket();
    if (!s)
        return s;
    sockaddr_in addr = loopback(port);
    if (bind(sock_of(*s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(wsa_text("bind"));
    if (listen(sock_of(*s), 64) != 0)
        return unexpected(wsa_text("listen"));
    return s;
}

sockaddr_in ipv4_socket_address(const text::Ipv4Bytes& address, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    std::memcpy(&addr.sin_addr, address.data(), address.size());
    return addr;
}

bool set_timeout(SOCKET s, int option, std::chrono::milliseconds timeout) {
    DWORD ms = static_cast<DWORD>(timeout.count());
    return setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&ms), sizeof ms) == 0;
}

Expected<Socket> bound_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    auto s = new_socket(SOCK_DGRAM, IPPROTO_UDP);
    if (!s)
        return s;
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (bind(sock_of(*s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(wsa_text("bind"));
    return s;
}

struct AddressListTraits {
    using type = ADDRINFOW*;
    static ADDRINFOW* invalid() noexcept { return nullptr; }
    static void close(ADDRINFOW* list) noexcept { FreeAddrInfoW(list); }
};

} // namespace

static_assert(SocketTraits::type(INVALID_SOCKET) == SocketTraits::invalid());

void SocketTraits::close(type native) noexcept {
    closesocket(static_cast<SOCKET>(native));
}

bool Socket::send_all(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1 << 20);
        int n = send(sock_of(*this), bytes.data() + done, static_cast<int>(chunk), 0);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

RecvResult Socket::recv(char* buf, std::size_t size, std::chrono::milliseconds timeout) {
    int ready = wait_for(sock_of(*this), false, timeout);
    if (ready == 0)
        return {RecvStatus::TimedOut};
    if (ready < 0)
        return {RecvStatus::Error};
    int n = ::recv(sock_of(*this), buf, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n > 0)
        return {RecvStatus::Data, static_cast<std::size_t>(n)};
    if (n == 0)
        return {RecvStatus::Closed};
    return {RecvStatus::Error};
}

void Socket::shutdown_both() {
    if (valid())
        shutdown(sock_of(*this), SD_BOTH);
}

std::uint16_t Socket::local_port() const {
    sockaddr_in addr{};
    int len = sizeof addr;
    if (!valid() || getsockname(sock_of(*this), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

Expected<Socket> listen_loopback(std::uint16_t port) {
    return bound_listener(port);
}

std::optional<Socket> accept_connection(Socket& listener, std::chrono::milliseconds timeout) {
    if (wait_for(sock_of(listener), false, timeout) != 1)
        return std::nullopt;
    SOCKET s = accept(sock_of(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return std::nullopt;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return Socket(static_cast<Socket::Native>(s));
}

Expected<Socket> connect_loopback(std::uint16_t port, std::chrono::milliseconds timeout) {
    return connect_tcp({127, 0, 0, 1}, port, timeout);
}

Expected<Socket> connect_tcp(const text::Ipv4Bytes& address, std::uint16_t port,
                             std::chrono::milliseconds timeout) {
    auto s = new_socket();
    if (!s)
        return s;
    u_long on = 1;
    ioctlsocket(sock_of(*s), FIONBIO, &on);
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (connect(sock_of(*s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return unexpected(wsa_text("connect"));
        int ready = wait_for(sock_of(*s), true, timeout);
        if (ready == 0)
            return unexpected(std::string("connect: timed out"));
        if (ready < 0) {
            int err = 0;
            int len = sizeof err;
            getsockopt(sock_of(*s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
            WSASetLastError(err);
            return unexpected(wsa_text("connect"));
        }
    }
    u_long off = 0;
    ioctlsocket(sock_of(*s), FIONBIO, &off);
    return s;
}

bool set_send_receive_timeouts(Socket& socket, std::chrono::milliseconds timeout) {
    bool receive = set_timeout(sock_of(socket), SO_RCVTIMEO, timeout);
    bool send = set_timeout(sock_of(socket), SO_SNDTIMEO, timeout);
    return receive && send;
}

Expected<Socket> open_udp(std::chrono::milliseconds send_timeout,
                          std::chrono::milliseconds receive_timeout) {
    auto s = bound_udp({0, 0, 0, 0}, 0);
    if (!s)
        return s;
    if (!set_timeout(sock_of(*s), SO_RCVTIMEO, receive_timeout) ||
        !set_timeout(sock_of(*s), SO_SNDTIMEO, send_timeout))
        return unexpected(wsa_text("setsockopt"));
    return s;
}

Expected<void> connect_udp(Socket& socket, const text::Ipv4Bytes& address, std::uint16_t port) {
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (connect(sock_of(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return unexpected(wsa_text("connect"));
    return {};
}

Expected<void> send_datagram(Socket& socket, std::string_view bytes) {
    int n = send(sock_of(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n == SOCKET_ERROR)
        return unexpected(wsa_text("send"));
    if (static_cast<std::size_t>(n) != bytes.size())
        return unexpected(std::string("send: datagram cut short"));
    return {};
}

Expected<std::size_t> receive_datagram(Socket& socket, char* buf, std::size_t size) {
    // Wine lets a blocking recv wait past SO_RCVTIMEO; the wait for readability keeps the
    // socket's own time-out there too.
    DWORD timeout_ms = 0;
    int len = sizeof timeout_ms;
    if (getsockopt(sock_of(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout_ms),
                   &len) == 0 &&
        timeout_ms != 0) {
        int ready = wait_for(sock_of(socket), false, std::chrono::milliseconds(timeout_ms));
        if (ready < 0)
            return unexpected(wsa_text("select"));
        if (ready == 0)
            return unexpected(std::string("recv: timed out"));
    }
    int n = recv(sock_of(socket), buf, static_cast<int>(size), 0);
    // A datagram longer than the buffer arrives cut to its size, which is what callers want.
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
        return size;
    if (n == SOCKET_ERROR)
        return unexpected(wsa_text("recv"));
    return static_cast<std::size_t>(n);
}

Expected<Socket> bind_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    return bound_udp(address, port);
}

std::optional<std::size_t> receive_datagram_from(Socket& socket, char* buf, std::size_t size,
                                                 std::chrono::milliseconds timeout, UdpPeer& from) {
    SOCKET s = sock_of(socket);
    if (wait_for(s, false, timeout) != 1)
        return std::nullopt;
    sockaddr_in addr{};
    int len = sizeof addr;
    int n = recvfrom(s, buf, static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&addr), &len);
    if (n == SOCKET_ERROR || addr.sin_family != AF_INET)
        return std::nullopt;
    std::memcpy(from.address.data(), &addr.sin_addr, from.address.size());
    from.port = ntohs(addr.sin_port);
    return static_cast<std::size_t>(n);
}

bool send_datagram_to(Socket& socket, std::string_view bytes, const UdpPeer& to) {
    sockaddr_in addr = ipv4_socket_address(to.address, to.port);
    int n = sendto(sock_of(socket), bytes.data(), static_cast<int>(bytes.size()), 0,
                   reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    return n != SOCKET_ERROR && static_cast<std::size_t>(n) == bytes.size();
}

Expected<std::vector<text::IpAddress>> resolve_host(std::string_view host) {
    if (host.find('\0') != std::string_view::npos)
        return unexpected(std::string("GetAddrInfoW: the name holds a NUL byte"));
    ensure_winsock();
    std::wstring name = win32::wide(host);
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM; // one entry per address rather than one per socket type
    ADDRINFOW* list = nullptr;
    int rc = GetAddrInfoW(name.c_str(), L"0", &hints, &list);
    if (rc != 0)
        return unexpected("GetAddrInfoW: " + win32::error_text(static_cast<DWORD>(rc)));
    UniqueHandle<AddressListTraits> owned(list);
    std::vector<text::IpAddress> out;
    for (ADDRINFOW* a = list; a != nullptr; a = a->ai_next) {
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
