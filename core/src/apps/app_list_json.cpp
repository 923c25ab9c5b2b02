#include "apps/app_list_json.h"

namespace kest::apps {

Json apps_to_json(const std::vector<AppEntry>& list) {
    Json out = Json::array();
    for (const AppEntry& app : list) {
        Json entry = {{"name", app.name}, {"exe_path", app.exe_path}};
        if (!app.icon.empty())
            entry["icon"] = app.icon;
        out.push_back(std::move(entry));
    }
    return out;
}

} // namespace kest::apps
