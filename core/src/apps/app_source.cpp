#include "apps/app_source.h"

#include "apps/app_list.h"
#include "util/log.h"

namespace kest::apps {

std::vector<AppEntry> tidy_app_list_guarded(const AppSource& source, std::string_view fault_text) {
    try {
        return drop_own_executables(dedupe_and_sort_apps(source()));
    } catch (...) {
        log_line(LogTag::Apps, fault_text);
        return {};
    }
}

} // namespace kest::apps
