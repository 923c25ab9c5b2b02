// UDP sockets and the system resolver; the TCP side of platform/net.h is in net_win32.cpp.
#include <cstring>

#include "platform/net.h"
#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

// Winsock needs one WSAStartup per process before the first socket call; the count it keeps
// makes a second one beside net_win32.cpp's harmless, and none is ever undone.
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

Unexpected<std::string> wsa_error(const char* what) {
    return unexpected(std::string(what) + ": " +
                      win32::error_text(static_cast<DWORD>(WSAGetLastError())));
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

// A child process (the engine) must not inherit our sockets.
Expected<Socket> bound_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    ensure_winsock();
    SOCKET raw =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (raw == INVALID_SOCKET)
        return wsa_error("socket");
    Socket s(static_cast<Socket::Native>(raw));
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (bind(raw, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return wsa_error("bind");
    return s;
}

struct AddressListTraits {
    using type = ADDRINFOW*;
    static ADDRINFOW* invalid() noexcept { return nullptr; }
    static void close(ADDRINFOW* list) noexcept { FreeAddrInfoW(list); }
};

} // namespace

Expected<Socket> open_udp(std::chrono::milliseconds send_timeout,
                          std::chrono::milliseconds receive_timeout) {
    auto s = bound_udp({0, 0, 0, 0}, 0);
    if (!s)
        return s;
    if (!set_timeout(sock_of(*s), SO_RCVTIMEO, receive_timeout) ||
        !set_timeout(sock_of(*s), SO_SNDTIMEO, send_timeout))
        return wsa_error("setsockopt");
    return s;
}

Expected<void> connect_udp(Socket& socket, const text::Ipv4Bytes& address, std::uint16_t port) {
    sockaddr_in addr = ipv4_socket_address(address, port);
    if (connect(sock_of(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return wsa_error("connect");
    return {};
}

Expected<void> send_datagram(Socket& socket, std::string_view bytes) {
    int n = send(sock_of(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n == SOCKET_ERROR)
        return wsa_error("send");
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
        fd_set set;
        FD_ZERO(&set);
        FD_SET(sock_of(socket), &set);
        timeval tv;
        tv.tv_sec = static_cast<long>(timeout_ms / 1000);
        tv.tv_usec = static_cast<long>((timeout_ms % 1000) * 1000);
        int ready = select(0, &set, nullptr, nullptr, &tv);
        if (ready == SOCKET_ERROR)
            return wsa_error("select");
        if (ready == 0)
            return unexpected(std::string("recv: timed out"));
    }
    int n = recv(sock_of(socket), buf, static_cast<int>(size), 0);
    // A datagram longer than the buffer arrives cut to its size, which is what callers want.
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
        return size;
    if (n == SOCKET_ERROR)
        return wsa_error("recv");
    return static_cast<std::size_t>(n);
}

Expected<Socket> bind_udp(const text::Ipv4Bytes& address, std::uint16_t port) {
    return bound_udp(address, port);
}

std::optional<std::size_t> receive_datagram_from(Socket& socket, char* buf, std::size_t size,
                                                 std::chrono::milliseconds timeout, UdpPeer& from) {
    SOCKET s = sock_of(socket);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeout.count() / 1000);
    tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
    if (select(0, &set, nullptr, nullptr, &tv) != 1)
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
