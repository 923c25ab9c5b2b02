#pragma once
// Writes a file so that readers see the old content or the new, never a half-written file:
// content goes to "<target>.tmp", which is then renamed over the target.
#include <string>
#include <string_view>

#include "base/expected.h"

namespace kest {

// Creates missing parent folders. On failure returns the system's error text.
Expected<void> write_atomic(const std::string& target, std::string_view bytes);

} // namespace kest
