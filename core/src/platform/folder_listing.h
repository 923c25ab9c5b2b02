#pragma once
// The entries of one folder, for the walks over the Start Menu and the runtime folders.
#include <optional>
#include <string>
#include <vector>

namespace kest::platform {

struct FolderEntry {
    std::string name;         // as text, units that are not valid Unicode replaced by U+FFFD
    bool name_is_text = true; // false when the name needed such a replacement
    // A folder to walk into: a directory that is not a link to elsewhere (a symbolic link or a
    // junction counts as a file).
    bool is_folder = false;
};

// In the system's listing order, without "." and "..". None when the folder cannot be listed.
std::optional<std::vector<FolderEntry>> list_folder(const std::string& path);

} // namespace kest::platform
