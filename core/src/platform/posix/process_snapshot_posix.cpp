#include "platform/process_snapshot.h"

#include <dirent.h>

#include <fstream>

#include "platform/process_image.h"
#include "text/path_text.h"

namespace kest::platform {
namespace {

// The executable's file name, or the kernel's short command name when the executable link cannot
// be read (another user's process, a kernel thread).
std::string exe_name_of(std::uint32_t pid, ImagePathBuffer& buffer) {
    std::string path = process_image_path(pid, buffer);
    if (!path.empty())
        return std::string(text::file_name_of(path));
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

std::vector<SnapshotProcess> process_snapshot() {
    std::vector<SnapshotProcess> out;
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return out;
    ImagePathBuffer buffer;
    while (const dirent* entry = ::readdir(dir)) {
        std::uint32_t pid = 0;
        bool digits = entry->d_name[0] != '\0';
        for (const char* c = entry->d_name; *c && digits; ++c) {
            digits = *c >= '0' && *c <= '9';
            pid = pid * 10 + static_cast<std::uint32_t>(*c - '0');
        }
        if (digits)
            out.push_back({pid, exe_name_of(pid, buffer)});
    }
    ::closedir(dir);
    return out;
}

} // namespace kest::platform
