#pragma once
// Path text helpers that treat "\" and "/" alike, whatever the build's own separator.
#include <string>
#include <string_view>

namespace kest::text {

// The text after the last "\" or "/" (the whole text when there is none).
inline std::string_view file_name_of(std::string_view path) {
    auto pos = path.find_last_of("\\/");
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

inline bool ends_with_separator(std::string_view s) {
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

// Joins two path parts with sep unless the left part already ends with a separator.
inline std::string join_path(std::string_view left, std::string_view right, char sep) {
    std::string out(left);
    if (!ends_with_separator(out))
        out.push_back(sep);
    out.append(right);
    return out;
}

} // namespace kest::text
