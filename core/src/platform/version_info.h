#pragma once
// The description an executable gives of itself in its version resource.
#include <string>

namespace kest::platform {

// Longest description taken, in UTF-16 units.
inline constexpr std::size_t kDescriptionUnits = 4096;

// The resource's "FileDescription" string, read under the first language and code page of its
// translation table, or under 0409/04B0 (US English, Unicode) when it has none; at most
// kDescriptionUnits units, cut at the first NUL. "" when the file has no version resource or
// no description, and on platforms without version resources.
std::string file_description(const std::string& path);

} // namespace kest::platform
