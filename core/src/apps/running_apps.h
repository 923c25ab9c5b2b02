#pragma once
// The running processes that are user applications: the simplest source of the catalogue.
#include <string>
#include <string_view>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

// In snapshot order, the own process left out, one record per process (so possibly repeats):
// named by the executable's description, else by its file name.
std::vector<AppEntry> running_user_apps();

// The name of an executable without a description: its file name, less a lowercase ".exe".
std::string name_from_file(std::string_view path);

} // namespace kest::apps
