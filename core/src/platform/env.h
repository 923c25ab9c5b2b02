#pragma once
// The process environment.
#include <optional>
#include <string>
#include <string_view>

namespace kest::platform {

// The variable's value, or none when it is not set (an empty value is returned as "").
std::optional<std::string> get_env(std::string_view name);

// Sets the variable, or removes it when value is none.
void set_env(std::string_view name, const std::optional<std::string>& value);

// The separator the platform's own paths use: "\" on Windows, "/" elsewhere.
char path_separator();

} // namespace kest::platform
