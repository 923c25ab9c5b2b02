#pragma once
// Writes shortcut files the way installers do, through the system's shell-link object.
#include <string>

#include "base/expected.h"

namespace kest::testing {

// An error on platforms without shell links.
Expected<void> write_shell_link(const std::string& lnk_path, const std::string& target,
                                const std::string& arguments = "");

} // namespace kest::testing
