#pragma once
// The values that let the core, and only the core, talk to a new session's control interface.
#include <cstdint>
#include <string>

#include "vpn/engine/api_client.h"

namespace kest::vpn {

inline constexpr std::size_t control_secret_bytes = 32;

// 32 bytes of the system's cryptographic random generator as 64 lowercase hexadecimal digits.
// A generator that refuses is a fault of the command and is thrown.
std::string make_control_secret();

// preferred when a listener can be bound on 127.0.0.1 there right now, else the port the system
// gives a bind of 127.0.0.1 port 0, and preferred again when that fails too. Never an error:
// the engine then reports a port it cannot take.
std::uint16_t choose_control_port(std::uint16_t preferred = default_control_port);

} // namespace kest::vpn
