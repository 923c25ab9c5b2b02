#pragma once
// The system's text for an errno value, the way every POSIX error of the core reads.
#include <cstring>
#include <string>

namespace kest::platform::posix {

inline std::string error_text(int err) {
    return std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")";
}

} // namespace kest::platform::posix
