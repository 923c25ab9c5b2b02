#include "platform/self_path.h"

#include <limits.h>
#include <unistd.h>

namespace kest::platform {

std::optional<std::string> own_executable_path() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf))
        return std::nullopt;
    return std::string(buf, static_cast<std::size_t>(n));
}

} // namespace kest::platform
