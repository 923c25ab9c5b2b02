#pragma once
// Per-user launchers: an Update.exe whose arguments carry "--processStart" only starts the real
// application, which lies in one of its "app-<version>" folders or beside it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_listing.h"

namespace kest::apps {

// The executable name that "--processStart" (case-sensitive, its first occurrence) gives in the
// arguments: after "=" or after white space, an optional opening quote, up to the first space,
// tab or quote; none unless it ends in ".exe" (any case).
std::optional<std::string> process_start_value(std::string_view args);

// The subfolders of a listed folder whose lowercased name starts with "app-", as full paths, in
// listing order.
std::vector<std::string> app_version_dirs(std::string_view folder,
                                          const std::vector<platform::FolderEntry>& listing);

// The executable the launcher starts: the value in the last "app-" folder by descending byte
// order of the names (app-1.0.9 before app-1.0.10) that holds it, else the copy beside the
// launcher. None when the arguments name nothing, the launcher's folder cannot be listed or no
// copy exists.
std::optional<std::string> resolve_process_start(std::string_view launcher, std::string_view args);

} // namespace kest::apps
