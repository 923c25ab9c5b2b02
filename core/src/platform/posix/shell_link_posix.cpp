#include "platform/shell_link.h"

namespace kest::platform {

// There are no shell links here: nothing to initialise, and no shortcut resolves.
ShellLinkApartment::ShellLinkApartment() = default;
ShellLinkApartment::~ShellLinkApartment() = default;

std::optional<ShellLinkTarget> read_shell_link(const std::string&) {
    return std::nullopt;
}

} // namespace kest::platform
