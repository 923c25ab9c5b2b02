#include "apps/app_list.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "text/lowercase.h"
#include "util/own_executable.h"

namespace kest::apps {

bool name_less_ci(const AppEntry& a, const AppEntry& b) {
    // std::string compares its bytes as unsigned values, the shorter prefix first.
    return text::to_lower(a.name) < text::to_lower(b.name);
}

std::vector<AppEntry> dedupe_and_sort_apps(std::vector<AppEntry> list) {
    std::unordered_set<std::string> seen;
    seen.reserve(list.size());
    std::vector<AppEntry> unique;
    unique.reserve(list.size());
    for (AppEntry& app : list)
        if (seen.insert(text::to_lower(app.exe_path)).second)
            unique.push_back(std::move(app));
    if (unique.size() < 2)
        return unique;

    // The same order as a stable sort with name_less_ci, lowercasing every name once.
    struct Keyed {
        std::string key;
        AppEntry app;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(unique.size());
    for (AppEntry& app : unique)
        keyed.push_back({text::to_lower(app.name), std::move(app)});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    unique.clear();
    for (Keyed& k : keyed)
        unique.push_back(std::move(k.app));
    return unique;
}

std::vector<AppEntry> drop_own_executables(std::vector<AppEntry> list) {
    std::erase_if(list, [](const AppEntry& app) { return is_own_executable(app.exe_path); });
    return list;
}

} // namespace kest::apps
