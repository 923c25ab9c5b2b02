#pragma once
// The system's cryptographic random generator: secrets and query IDs that others must not guess.
#include <cstdint>
#include <span>

#include "base/expected.h"

namespace kest::platform {

// Fills every byte; the error is the system's text when the generator refuses.
Expected<void> fill_random(std::span<std::uint8_t> bytes);

} // namespace kest::platform
