#pragma once
// The application catalogue's process-wide caches, held by the RPC host's shared state.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

struct AppCaches {
    std::mutex apps_cache_lock;
    std::optional<std::vector<AppEntry>> apps_cache; // the installed-application list
    std::mutex icon_cache_lock;
    std::optional<std::map<std::string, std::string>> icon_cache; // exe path -> icon text
    std::mutex scan_lock; // one installed-application scan at a time
};

} // namespace kest::apps
