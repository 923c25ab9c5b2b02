#pragma once
// The MD5 digest from the system's cryptography library (BCrypt on Windows, OpenSSL elsewhere).
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kest::platform {

using Md5Digest = std::array<std::uint8_t, 16>;

// None when the library refuses the work.
std::optional<Md5Digest> md5_digest(std::string_view bytes);

} // namespace kest::platform
