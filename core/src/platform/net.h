#pragma once
// Minimal TCP on the loopback address 127.0.0.1, UDP on IPv4 and the system's name resolver:
// what the control-port choice, the DNS probes, the resolver fallback and the local test servers
// need. Every wait has a time-out so that callers can stop cooperatively.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "platform/unique_handle.h"
#include "text/ip_address.h"

namespace kest::platform {

enum class RecvStatus { Data, Closed, TimedOut, Error };

struct RecvResult {
    RecvStatus status;
    std::size_t bytes = 0;
};

// The platform's socket value as a number: a file descriptor or a SOCKET, both of which use all
// bits set for "none". The platform file defines close.
struct SocketTraits {
    using type = std::uintptr_t;
    static constexpr type invalid() noexcept { return ~type(0); }
    static void close(type native) noexcept;
};

// One TCP socket, closed when the object goes away. Move-only.
class Socket {
public:
    Socket() = default;

    bool valid() const { return handle_.valid(); }
    // Sends every byte; false when the peer is gone or the send fails.
    bool send_all(std::string_view bytes);
    // Receives at most size bytes, waiting at most timeout for the first of them.
    RecvResult recv(char* buf, std::size_t size, std::chrono::milliseconds timeout);
    // Ends both directions: a peer blocked in recv sees the end of the stream.
    void shutdown_both();
    void close() { handle_.reset(); }
    // The local port of a bound or connected socket, 0 when unknown.
    std::uint16_t local_port() const;

    // Implementation detail: the platform's socket value.
    using Native = SocketTraits::type;
    explicit Socket(Native native) : handle_(native) {}
    Native native() const { return handle_.get(); }

private:
    UniqueHandle<SocketTraits> handle_;
};

// A listening socket on 127.0.0.1:port; port 0 lets the system choose (see local_port()).
Expected<Socket> listen_loopback(std::uint16_t port);

// Waits at most timeout for a connection; none on time-out or failure.
std::optional<Socket> accept_connection(Socket& listener, std::chrono::milliseconds timeout);

// Connects to 127.0.0.1:port, waiting at most timeout.
Expected<Socket> connect_loopback(std::uint16_t port, std::chrono::milliseconds timeout);

// Connects to address:port over TCP, waiting at most timeout.
Expected<Socket> connect_tcp(const text::Ipv4Bytes& address, std::uint16_t port,
                             std::chrono::milliseconds timeout);

// Makes the socket's blocking sends and receives give up after timeout (SO_SNDTIMEO,
// SO_RCVTIMEO); false when either could not be set.
bool set_send_receive_timeouts(Socket& socket, std::chrono::milliseconds timeout);

// True when a TCP listener can be bound on 127.0.0.1:port right now (it is closed again).
bool can_bind_loopback(std::uint16_t port);

// Binds 127.0.0.1 port 0, reads the port the system gave, and closes the socket again.
std::optional<std::uint16_t> free_loopback_port();

// A UDP socket bound to 0.0.0.0 port 0 whose blocking sends and receives give up after the
// time-outs (SO_SNDTIMEO, SO_RCVTIMEO).
Expected<Socket> open_udp(std::chrono::milliseconds send_timeout,
                          std::chrono::milliseconds receive_timeout);
// Fixes the peer of a UDP socket: sends go there and only its datagrams are received.
Expected<void> connect_udp(Socket& socket, const text::Ipv4Bytes& address, std::uint16_t port);
// One datagram to the connected peer, all bytes or an error.
Expected<void> send_datagram(Socket& socket, std::string_view bytes);
// One datagram from the connected peer, cut to size; the socket's time-out is an error.
Expected<std::size_t> receive_datagram(Socket& socket, char* buf, std::size_t size);

// A UDP socket bound to address:port (port 0: the system chooses), for local servers.
Expected<Socket> bind_udp(const text::Ipv4Bytes& address, std::uint16_t port);

struct UdpPeer {
    text::Ipv4Bytes address{};
    std::uint16_t port = 0;
};

// Waits at most timeout for one datagram on an unconnected socket; none on time-out or failure.
std::optional<std::size_t> receive_datagram_from(Socket& socket, char* buf, std::size_t size,
                                                 std::chrono::milliseconds timeout, UdpPeer& from);
bool send_datagram_to(Socket& socket, std::string_view bytes, const UdpPeer& to);

// The addresses the system's resolver (getaddrinfo, port 0) gives for host, in its order; the
// error is the resolver's text. A host holding a NUL byte is refused: the resolver would read
// a different, shorter name.
Expected<std::vector<text::IpAddress>> resolve_host(std::string_view host);

} // namespace kest::platform
