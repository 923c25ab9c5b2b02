#include "apps/java_runtime.h"

#include "apps/texts.h"
#include "platform/env.h"
#include "platform/folder_listing.h"
#include "platform/fs.h"
#include "text/ascii.h"
#include "text/path_text.h"

namespace kest::apps {
namespace {

constexpr std::string_view kJavaw = "javaw.exe";

// A variable that is set and not empty.
std::optional<std::string> env_folder(std::string_view name) {
    auto value = platform::get_env_unicode(name);
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

} // namespace

void collect_existing_paths(std::vector<std::string>& out, const std::optional<std::string>& base,
                            const std::vector<std::string_view>& components) {
    if (!base)
        return;
    std::string path = *base;
    for (std::string_view component : components)
        path = text::join_path(path, component, platform::path_separator());
    if (platform::file_exists(path))
        out.push_back(std::move(path));
}

std::optional<std::string> find_javaw(const std::string& folder, int depth) {
    if (depth > kJavawMaxDepth)
        return std::nullopt;
    auto listing = platform::list_folder(folder);
    if (!listing)
        return std::nullopt;
    const char sep = platform::path_separator();
    std::vector<std::string> subfolders;
    for (const platform::FolderEntry& entry : *listing) {
        if (entry.is_folder)
            subfolders.push_back(text::join_path(folder, entry.name, sep));
        else if (text::equals_ignoring_ascii_case(entry.name, kJavaw))
            return text::join_path(folder, entry.name, sep);
    }
    for (const std::string& subfolder : subfolders)
        if (auto found = find_javaw(subfolder, depth + 1))
            return found;
    return std::nullopt;
}

std::vector<std::string> java_runtime_candidates() {
    const auto pf = env_folder("ProgramFiles");
    const auto pfx = env_folder("ProgramFiles(x86)");
    std::vector<std::string> out;
    collect_existing_paths(out, env_folder("APPDATA"), {".minecraft", "runtime"});
    collect_existing_paths(out, pfx, {"Minecraft Launcher", "runtime"});
    collect_existing_paths(out, pf, {"Minecraft Launcher", "runtime"});
    collect_existing_paths(
        out, env_folder("LOCALAPPDATA"),
        {"Packages", "Microsoft.4297127D64EC6_8wekyb3d8bbwe", "LocalCache", "Local", "runtime"});
    collect_existing_paths(out, pf, {"Java"});
    collect_existing_paths(out, pfx, {"Java"});
    collect_existing_paths(out, pf, {"Eclipse Adoptium"});
    collect_existing_paths(out, pf, {"Zulu"});
    return out;
}

void append_java_entry(std::vector<AppEntry>& list) {
    for (const AppEntry& app : list)
        if (text::equals_ignoring_ascii_case(text::file_name_of(app.exe_path), kJavaw))
            return;
    for (const std::string& candidate : java_runtime_candidates()) {
        if (auto javaw = find_javaw(candidate)) {
            list.push_back({std::string(kJavaEntryName), std::move(*javaw), ""});
            return;
        }
    }
}

} // namespace kest::apps
