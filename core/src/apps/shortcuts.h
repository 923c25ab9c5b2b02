#pragma once
// Start Menu shortcuts as applications: every ".lnk" file below a folder names an application
// (the file's stem) and its executable (the shortcut's target).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

// The stem of a shortcut file name: the name before its last "." when what follows is "lnk" in
// any ASCII case. None for other names, and for a name whose only "." is its first character.
std::optional<std::string_view> shortcut_stem(std::string_view file_name);

// Appends the records of all shortcuts below the folder, depth first in listing order, without
// entering folder links. The calling thread must be inside a platform::ShellLinkApartment.
void scan_shortcuts(const std::string& folder, std::vector<AppEntry>& out);

} // namespace kest::apps
