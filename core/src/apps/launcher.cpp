#include "apps/launcher.h"

#include <algorithm>

#include "platform/env.h"
#include "platform/fs.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "text/utf8.h"
#include "text/white_space.h"

namespace kest::apps {
namespace {

constexpr std::string_view kProcessStart = "--processStart";

// The text before the last separator; a root keeps its separator. None without a separator.
std::optional<std::string> parent_folder(std::string_view path) {
    std::size_t pos = path.find_last_of("\\/");
    if (pos == std::string_view::npos)
        return std::nullopt;
    std::string_view parent = path.substr(0, pos);
    if (parent.empty() || parent.back() == ':')
        parent = path.substr(0, pos + 1);
    return std::string(parent);
}

} // namespace

std::optional<std::string> process_start_value(std::string_view args) {
    std::size_t found = args.find(kProcessStart);
    if (found == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = args.substr(found + kProcessStart.size());
    if (rest.empty())
        return std::nullopt;
    if (rest.front() == '=') {
        rest.remove_prefix(1);
    } else {
        std::size_t next = 0;
        if (!text::is_white_space(text::decode_utf8(rest, next)))
            return std::nullopt;
        while (!rest.empty()) {
            std::size_t pos = 0;
            if (!text::is_white_space(text::decode_utf8(rest, pos)))
                break;
            rest.remove_prefix(pos);
        }
    }
    if (!rest.empty() && rest.front() == '"')
        rest.remove_prefix(1);
    std::string_view value = rest.substr(0, rest.find_first_of(" \t\""));
    if (!text::to_lower(value).ends_with(".exe"))
        return std::nullopt;
    return std::string(value);
}

std::vector<std::string> app_version_dirs(std::string_view folder,
                                          const std::vector<platform::FolderEntry>& listing) {
    std::vector<std::string> out;
    for (const platform::FolderEntry& entry : listing)
        if (entry.is_folder && text::to_lower(entry.name).starts_with("app-"))
            out.push_back(text::join_path(folder, entry.name, platform::path_separator()));
    return out;
}

std::optional<std::string> resolve_process_start(std::string_view launcher, std::string_view args) {
    std::optional<std::string> value = process_start_value(args);
    if (!value)
        return std::nullopt;
    std::optional<std::string> folder = parent_folder(launcher);
    if (!folder)
        return std::nullopt;
    auto listing = platform::list_folder(*folder);
    if (!listing)
        return std::nullopt;
    const char sep = platform::path_separator();
    std::vector<std::string> versions = app_version_dirs(*folder, *listing);
    std::sort(versions.begin(), versions.end(), std::greater<>());
    for (const std::string& version : versions)
        if (std::string candidate = text::join_path(version, *value, sep);
            platform::file_exists(candidate))
            return candidate;
    if (std::string beside = text::join_path(*folder, *value, sep); platform::file_exists(beside))
        return beside;
    return std::nullopt;
}

} // namespace kest::apps
