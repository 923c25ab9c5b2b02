#include "apps/installed_scan.h"

#include <chrono>
#include <string>

#include "apps/icons.h"
#include "apps/java_runtime.h"
#include "apps/running_apps.h"
#include "apps/shortcuts.h"
#include "apps/texts.h"
#include "apps/uninstall_entries.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/shell_link.h"
#include "text/path_text.h"
#include "util/log.h"

namespace kest::apps {

std::vector<std::string> start_menu_roots() {
    std::vector<std::string> roots;
    const char sep = platform::path_separator();
    for (std::string_view variable : {"ProgramData", "APPDATA"}) {
        auto base = platform::get_env_unicode(variable);
        if (!base || base->empty())
            continue;
        std::string root = *base;
        for (std::string_view part : {"Microsoft", "Windows", "Start Menu", "Programs"})
            root = text::join_path(root, part, sep);
        roots.push_back(std::move(root));
    }
    return roots;
}

std::vector<AppEntry> installed_apps_source() {
    std::vector<AppEntry> list;
    const std::vector<std::string> roots = start_menu_roots();
    {
        platform::ShellLinkApartment apartment;
        for (const std::string& root : roots)
            if (platform::file_exists(root))
                scan_shortcuts(root, list);
    }
    std::vector<AppEntry> running = running_user_apps();
    list.insert(list.end(), std::make_move_iterator(running.begin()),
                std::make_move_iterator(running.end()));
    append_uninstall_apps(list);
    append_java_entry(list);
    return list;
}

std::optional<std::vector<AppEntry>> cached_apps(AppCaches& caches) {
    std::lock_guard lock(caches.apps_cache_lock);
    return caches.apps_cache;
}

std::vector<AppEntry> scan_installed_apps(AppCaches& caches, const AppSource& source) {
    if (auto cached = cached_apps(caches))
        return std::move(*cached);
    std::lock_guard scan(caches.scan_lock);
    if (auto cached = cached_apps(caches))
        return std::move(*cached);

    const auto started = std::chrono::steady_clock::now();
    std::vector<AppEntry> list = tidy_app_list_guarded(source, kInstalledScanPanic);
    list = fill_icons(caches, std::move(list));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    log_line(LogTag::Apps, std::string(kScanSummaryHead) + std::to_string(list.size()) +
                               std::string(kScanSummaryMiddle) + std::to_string(elapsed.count()) +
                               std::string(kScanSummaryTail));
    {
        std::lock_guard lock(caches.apps_cache_lock);
        caches.apps_cache = list;
    }
    return list;
}

} // namespace kest::apps
