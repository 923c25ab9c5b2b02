#pragma once
// The port of the engine's local control interface for a new session.
#include <cstdint>

#include "vpn/api_client.h"

namespace kest::vpn {

// preferred when a listener can be bound on 127.0.0.1 there right now, else the port the system
// gives a bind of 127.0.0.1 port 0, and preferred again when that fails too. Never an error:
// the engine then reports a port it cannot take.
std::uint16_t choose_control_port(std::uint16_t preferred = default_control_port);

} // namespace kest::vpn
