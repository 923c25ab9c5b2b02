#pragma once
// Applications named by the uninstall entries of the registry.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/app_entry.h"
#include "platform/registry.h"

namespace kest::apps {

inline constexpr std::string_view kUninstallKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct UninstallView {
    platform::RegistryRoot root;
    std::uint32_t view;
};

// The registry views read, in order.
inline constexpr std::array<UninstallView, 3> kUninstallViews = {{
    {platform::RegistryRoot::LocalMachine, platform::kRegistryView64},
    {platform::RegistryRoot::LocalMachine, platform::kRegistryView32},
    {platform::RegistryRoot::CurrentUser, platform::kRegistryView64},
}};

// Words in a display name that mark a runtime, a driver or an update, in test order.
inline constexpr std::array<std::string_view, 14> kUninstallSkipWords = {
    "redistributable", "runtime",         "webview",       "sdk",      "driver",
    "драйвер",         "component",       "компонент",     "package",  "пакет",
    "hotfix",          "security update", "language pack", "языковой",
};

// "SystemComponent" given as the DWORD 1 (a string "1" does not count).
bool is_system_component(const std::optional<platform::RegistryValue>& value);

// A display name worth listing: not blank, not junk, no runtime, driver or update word.
bool is_listed_display_name(std::string_view name);

// The executable path a "DisplayIcon" value names: quotes and an icon index (",0") removed,
// $-references expanded. "" for a blank value.
std::string display_icon_path(std::string_view icon);

// Appends the entries of every view whose executable is a user application, in view and
// enumeration order.
void append_uninstall_apps(std::vector<AppEntry>& out);

} // namespace kest::apps
