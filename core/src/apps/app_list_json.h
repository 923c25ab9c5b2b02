#pragma once
// The JSON form of an application list, as "scan_apps" and "scan_running" return it.
#include <vector>

#include "apps/app_entry.h"
#include "json/json.h"

namespace kest::apps {

// One object per entry in list order: "name", "exe_path" and, only when not empty, "icon".
Json apps_to_json(const std::vector<AppEntry>& list);

} // namespace kest::apps
