#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
#include <string_view>

namespace kest::apps {

// Logged when making one icon panics: the first part, the executable's path, the second part.
inline constexpr std::string_view kIconPanicOpen = "паника при извлечении значка (";
inline constexpr std::string_view kIconPanicClose = ")";

} // namespace kest::apps
