#pragma once
// Icons of listed applications as PNG data URLs, cached per executable path.
#include <vector>

#include "apps/app_caches.h"
#include "apps/app_entry.h"

namespace kest::apps {

// The list in the same order, every entry's icon set from the cache or a new extraction.
std::vector<AppEntry> fill_icons(AppCaches& caches, std::vector<AppEntry> list);

} // namespace kest::apps
