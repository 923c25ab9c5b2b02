#pragma once
// The list "scan_running" answers with: the running user applications, unique, sorted, without
// the core's own executables, with icons. It neither reads nor fills the installed-application
// cache.
#include <vector>

#include "apps/app_caches.h"
#include "apps/app_entry.h"
#include "apps/app_source.h"
#include "apps/running_apps.h"

namespace kest::apps {

// A fault while listing is logged and gives the empty list; icons are filled either way.
std::vector<AppEntry> scan_running_apps(AppCaches& caches,
                                        const AppSource& source = running_user_apps);

} // namespace kest::apps
