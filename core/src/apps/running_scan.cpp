#include "apps/running_scan.h"

#include "apps/app_list.h"
#include "apps/icons.h"
#include "apps/texts.h"
#include "util/log.h"

namespace kest::apps {

std::vector<AppEntry> scan_running_apps(AppCaches& caches, const AppSource& source) {
    std::vector<AppEntry> list;
    try {
        list = drop_own_executables(dedupe_and_sort_apps(source()));
    } catch (...) {
        log_line(LogTag::Apps, kRunningScanPanic);
        list.clear();
    }
    return fill_icons(caches, std::move(list));
}

} // namespace kest::apps
