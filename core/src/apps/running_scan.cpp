#include "apps/running_scan.h"

#include "apps/icons.h"
#include "apps/texts.h"

namespace kest::apps {

std::vector<AppEntry> scan_running_apps(AppCaches& caches, const AppSource& source) {
    std::vector<AppEntry> list = tidy_app_list_guarded(source, kRunningScanPanic);
    return fill_icons(caches, std::move(list));
}

} // namespace kest::apps
