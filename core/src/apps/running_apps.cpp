#include "apps/running_apps.h"

#include "apps/app_filters.h"
#include "platform/process_image.h"
#include "platform/process_snapshot.h"
#include "platform/version_info.h"
#include "text/path_text.h"
#include "text/white_space.h"

namespace kest::apps {

std::string name_from_file(std::string_view path) {
    std::string_view name = text::file_name_of(path);
    if (name.ends_with(".exe"))
        name.remove_suffix(4);
    return std::string(name);
}

std::vector<AppEntry> running_user_apps() {
    std::vector<AppEntry> out;
    const std::uint32_t own_pid = platform::current_process_id();
    platform::ImagePathBuffer buffer; // one for the whole snapshot
    for (const platform::SnapshotProcess& process : platform::process_snapshot()) {
        if (process.pid == own_pid)
            continue;
        std::string path = platform::process_image_path(process.pid, buffer);
        if (!is_user_app_exe(path))
            continue;
        std::string name = platform::file_description(path);
        if (name.empty())
            name = name_from_file(path);
        if (is_junk_name(name))
            continue;
        out.push_back({std::string(text::trim_white_space(name)), std::move(path), ""});
    }
    return out;
}

} // namespace kest::apps
