#pragma once
// Making an application list unique and ordered, and keeping the core's own executables out.
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

// The ordering of the list: lowercased names compared byte by byte, a prefix before the longer
// name.
bool name_less_ci(const AppEntry& a, const AppEntry& b);

// The first record of every executable (its path lowercased, nothing else normalised), then a
// stable sort by name_less_ci.
std::vector<AppEntry> dedupe_and_sort_apps(std::vector<AppEntry> list);

// The records whose executable is not one of the core's own, order kept.
std::vector<AppEntry> drop_own_executables(std::vector<AppEntry> list);

} // namespace kest::apps
