#pragma once
// Keeps the product's own executables (kestcore, vuvezozire, kest-connect) out of the
// application lists and the routing rules.
#include <optional>
#include <string>
#include <string_view>

namespace kest {

bool is_own_executable(std::string_view path);

// The rule itself, for a given path of the running executable.
bool is_own_executable_for(std::string_view path, std::optional<std::string_view> running_exe);

} // namespace kest
