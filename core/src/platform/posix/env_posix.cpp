#include "platform/env.h"

#include <cstdlib>

#include "text/utf8.h"

namespace kest::platform {

std::optional<std::string> get_env(std::string_view name) {
    const char* v = std::getenv(std::string(name).c_str());
    if (!v)
        return std::nullopt;
    return std::string(v);
}

std::optional<std::string> get_env_unicode(std::string_view name) {
    auto value = get_env(name);
    if (value && !text::is_valid_utf8(*value))
        return std::nullopt;
    return value;
}

char path_separator() {
    return '/';
}

} // namespace kest::platform

namespace kest::platform {

void set_env(std::string_view name, const std::optional<std::string>& value) {
    std::string n(name);
    if (value)
        ::setenv(n.c_str(), value->c_str(), 1);
    else
        ::unsetenv(n.c_str());
}

} // namespace kest::platform
