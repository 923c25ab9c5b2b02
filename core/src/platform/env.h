#pragma once
// The process environment.
#include <optional>
#include <string>
#include <string_view>

namespace kest::platform {

// The variable's value, or none when it is not set (an empty value is returned as "").
std::optional<std::string> get_env(std::string_view name);

// The same for a variable that counts only as text: a value that is not valid Unicode (UTF-16
// on Windows, UTF-8 elsewhere) counts as unset rather than being read with replacement
// characters.
std::optional<std::string> get_env_unicode(std::string_view name);

// Sets the variable, or removes it when value is none.
void set_env(std::string_view name, const std::optional<std::string>& value);

// The separator the platform's own paths use: "\" on Windows, "/" elsewhere.
char path_separator();

} // namespace kest::platform
