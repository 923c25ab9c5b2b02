#pragma once
// The client of the engine's local control interface, as the controller keeps it for the
// running session, and the one request the core makes with it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/http_agent.h"

namespace kest::vpn {

inline constexpr std::uint16_t default_control_port = 9787;
inline constexpr std::size_t connections_body_limit = 10 * 1024 * 1024;

struct ApiClient {
    std::string secret;
    // Shared: a caller copies the handle and sends its request without the controller lock.
    std::shared_ptr<net::HttpAgent> agent;
    std::uint16_t port = 0;
};

// A new agent with the control-interface profile: 4 s in all, no idle connections, no proxy,
// plain http only.
std::shared_ptr<net::HttpAgent> make_control_agent();

// An ApiClient for a session, with a new control agent.
ApiClient make_api_client(std::string secret, std::uint16_t port);

// GET http://127.0.0.1:PORT/connections with "Authorization: Bearer <secret>" (port 0 means
// 9787) and the body of a 200 answer of at most 10 MiB. None, without any request, for an
// empty secret or a missing agent; none for any failure and for every other status.
std::optional<std::string> fetch_connections_body(const ApiClient& client);

} // namespace kest::vpn
