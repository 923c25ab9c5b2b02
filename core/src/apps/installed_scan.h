#pragma once
// The list "scan_apps" answers with: every installed desktop application from the Start Menu,
// the running processes, the uninstall entries and a Java runtime; unique, sorted, without the
// core's own executables, with icons. The first scan fills the cache and every later call
// returns a copy of it, until the cache is released.
#include <optional>
#include <vector>

#include "apps/app_caches.h"
#include "apps/app_entry.h"
#include "apps/app_source.h"

namespace kest::apps {

// The Start Menu program folders below "ProgramData" and "APPDATA", for those that are set.
std::vector<std::string> start_menu_roots();

// Every source in order, before the list rules: shortcuts of both Start Menu roots, running
// processes, uninstall entries, the Java entry.
std::vector<AppEntry> installed_apps_source();

// A copy of the cached list, or none.
std::optional<std::vector<AppEntry>> cached_apps(AppCaches& caches);

// The cached list, else a scan under caches.scan_lock: a caller that waited for another scan
// takes that scan's list. A fault inside the source is logged and caches the empty list. Each
// scan that runs logs its count and time.
std::vector<AppEntry> scan_installed_apps(AppCaches& caches,
                                          const AppSource& source = installed_apps_source);

} // namespace kest::apps
