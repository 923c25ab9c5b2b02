#include "apps/app_filters.h"

#include <string>

#include "platform/env.h"
#include "platform/fs.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "text/white_space.h"

namespace kest::apps {

bool is_user_app_exe(std::string_view path) {
    if (text::trim_white_space(path).empty())
        return false;
    std::string lowered = text::to_lower(path);
    if (!lowered.ends_with(".exe"))
        return false;
    if (!platform::file_exists(std::string(path)))
        return false;
    if (auto windir = platform::get_env_unicode("WINDIR"); windir && !windir->empty())
        if (lowered.starts_with(text::to_lower(*windir)))
            return false;
    std::string_view name = text::file_name_of(path);
    std::string stem = text::to_lower(name.substr(0, name.size() - 4));
    return !contains_any_word(stem, kInstallerStemWords);
}

bool is_junk_name(std::string_view name) {
    return contains_any_word(text::to_lower(name), kJunkNameWords);
}

} // namespace kest::apps
