#include "platform/net.h"

#include <algorithm>
#include <string>

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
Expected<Socket> new_socket() {
    ensure_winsock();
    SOCKET s =
        WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
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
    auto s = new_socket();
    if (!s)
        return s;
    u_long on = 1;
    ioctlsocket(sock_of(*s), FIONBIO, &on);
    sockaddr_in addr = loopback(port);
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

} // namespace kest::platform
