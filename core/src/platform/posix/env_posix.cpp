#include "platform/env.h"

#include <cstdlib>

namespace kest::platform {

std::optional<std::string> get_env(std::string_view name) {
    const char* v = std::getenv(std::string(name).c_str());
    if (!v)
        return std::nullopt;
    return std::string(v);
}

char path_separator() { return '/'; }

} // namespace kest::platform
