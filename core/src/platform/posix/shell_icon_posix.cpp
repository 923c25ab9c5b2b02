#include "platform/shell_icon.h"

namespace kest::platform {

// There is no shell here to ask for a file's icon.
std::optional<ShellIcon> large_shell_icon(std::string_view) {
    return std::nullopt;
}

} // namespace kest::platform
