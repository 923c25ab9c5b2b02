#include "apps/shortcuts.h"

#include "apps/app_filters.h"
#include "apps/dollar_vars.h"
#include "apps/launcher.h"
#include "platform/env.h"
#include "platform/folder_listing.h"
#include "platform/shell_link.h"
#include "text/ascii.h"
#include "text/path_text.h"

namespace kest::apps {

std::optional<std::string_view> shortcut_stem(std::string_view file_name) {
    std::size_t dot = file_name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::nullopt;
    if (!text::equals_ignoring_ascii_case(file_name.substr(dot + 1), "lnk"))
        return std::nullopt;
    return file_name.substr(0, dot);
}

void scan_shortcuts(const std::string& folder, std::vector<AppEntry>& out) {
    auto listing = platform::list_folder(folder);
    if (!listing)
        return;
    const char sep = platform::path_separator();
    for (const platform::FolderEntry& entry : *listing) {
        std::string path = text::join_path(folder, entry.name, sep);
        if (entry.is_folder) {
            scan_shortcuts(path, out);
            continue;
        }
        // Extension and name are checked before any shell-link object is made.
        std::optional<std::string_view> stem = shortcut_stem(entry.name);
        if (!stem || !entry.name_is_text || is_junk_name(*stem))
            continue;
        std::optional<platform::ShellLinkTarget> link = platform::read_shell_link(path);
        if (!link)
            continue;
        std::string target = expand_dollar_vars(link->path);
        if (target.empty())
            continue;
        if (text::equals_ignoring_ascii_case(text::file_name_of(target), "update.exe"))
            if (auto started = resolve_process_start(target, link->arguments))
                target = std::move(*started);
        if (is_user_app_exe(target))
            out.push_back({std::string(*stem), std::move(target), ""});
    }
}

} // namespace kest::apps
