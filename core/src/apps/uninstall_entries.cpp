#include "apps/uninstall_entries.h"

#include "apps/app_filters.h"
#include "apps/dollar_vars.h"
#include "text/lowercase.h"
#include "text/white_space.h"

namespace kest::apps {
namespace {

std::string_view strip_quotes(std::string_view s) {
    while (!s.empty() && s.front() == '"')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == '"')
        s.remove_suffix(1);
    return s;
}

std::string read_string(const platform::RegistryKey& key, std::string_view name) {
    auto value = platform::read_registry_value(key, name);
    if (!value)
        return "";
    return platform::registry_string(*value).value_or("");
}

} // namespace

bool is_system_component(const std::optional<platform::RegistryValue>& value) {
    if (!value || value->type != platform::kRegDword || value->bytes.size() < 4)
        return false;
    const auto& b = value->bytes;
    std::uint32_t v = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
    return v == 1;
}

bool is_listed_display_name(std::string_view name) {
    if (text::trim_white_space(name).empty() || is_junk_name(name))
        return false;
    return !contains_any_word(text::to_lower(name), kUninstallSkipWords);
}

std::string display_icon_path(std::string_view icon) {
    std::string_view s = text::trim_white_space(icon);
    if (s.empty())
        return "";
    s = strip_quotes(s);
    // "path,index": a comma at index 0 or 1 cannot end a path ("C:" needs two bytes).
    if (std::size_t comma = s.rfind(','); comma != std::string_view::npos && comma >= 2)
        s = s.substr(0, comma);
    s = strip_quotes(text::trim_white_space(s));
    return expand_dollar_vars(s);
}

void append_uninstall_apps(std::vector<AppEntry>& out) {
    for (const UninstallView& view : kUninstallViews) {
        auto key = platform::open_registry_key(view.root, kUninstallKeyPath, view.view);
        if (!key)
            continue;
        for (const std::string& name : platform::registry_subkey_names(*key)) {
            std::string entry_path = std::string(kUninstallKeyPath) + "\\" + name;
            auto entry = platform::open_registry_key(view.root, entry_path, view.view);
            if (!entry)
                continue;
            if (is_system_component(platform::read_registry_value(*entry, "SystemComponent")))
                continue;
            std::string display_name = read_string(*entry, "DisplayName");
            if (!is_listed_display_name(display_name))
                continue;
            std::string path = display_icon_path(read_string(*entry, "DisplayIcon"));
            if (is_user_app_exe(path))
                out.push_back({std::string(text::trim_white_space(display_name)), path, ""});
        }
    }
}

} // namespace kest::apps
