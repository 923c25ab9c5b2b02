#include "config/paths.h"

#include <optional>

#include "text/path_text.h"
#include "text/utf8.h"

namespace kest::config {
namespace {

constexpr std::string_view kCacheFileName = "vpn_cache.db";

bool is_separator(char c, char sep) {
    return c == sep || (sep == '\\' && c == '/');
}

std::size_t drive_prefix_length(std::string_view path, char sep) {
    bool letter =
        !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return sep == '\\' && letter && path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// The folder holding the path's last component; none for an empty path, a bare root or a bare
// drive. Repeated and trailing separators do not make components of their own.
std::optional<std::string_view> parent_folder(std::string_view path, char sep) {
    std::size_t start = drive_prefix_length(path, sep);
    while (start < path.size() && is_separator(path[start], sep))
        ++start;
    std::size_t end = path.size();
    while (end > start && is_separator(path[end - 1], sep))
        --end;
    if (end == start)
        return std::nullopt;
    std::size_t last = end;
    while (last > start && !is_separator(path[last - 1], sep))
        --last;
    if (last == start)
        return path.substr(0, start);
    while (last > start && is_separator(path[last - 1], sep))
        --last;
    return path.substr(0, last);
}

} // namespace

std::string cache_file_path(std::string_view config_path, char sep) {
    std::string_view folder = parent_folder(config_path, sep).value_or(".");
    if (folder.empty())
        return std::string(kCacheFileName);
    return text::join_path(folder, kCacheFileName, sep);
}

std::string rule_set_folder(std::string_view data_directory, char sep) {
    return text::join_path(data_directory, "geo", sep);
}

std::string rule_set_path(std::string_view data_directory, std::string_view file_name, char sep) {
    return text::join_path(rule_set_folder(data_directory, sep), file_name, sep);
}

std::string path_text(std::string_view path) {
    if (text::is_valid_utf8(path))
        return std::string(path);
    std::string out;
    out.reserve(path.size() + 8);
    for (std::size_t pos = 0; pos < path.size();)
        text::append_utf8(out, text::decode_utf8(path, pos));
    return out;
}

} // namespace kest::config
