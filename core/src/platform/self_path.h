#pragma once
// The running executable's own full path.
#include <optional>
#include <string>

namespace kest::platform {

std::optional<std::string> own_executable_path();

} // namespace kest::platform
