#include "platform/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/unique_handle.h"
#include "text/utf8.h"

namespace kest::platform {
namespace {

struct DirTraits {
    using type = DIR*;
    static DIR* invalid() noexcept { return nullptr; }
    static void close(DIR* d) noexcept { ::closedir(d); }
};

std::string replace_invalid_utf8(std::string_view bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size();)
        text::append_utf8(out, text::decode_utf8(bytes, pos));
    return out;
}

} // namespace

std::optional<std::vector<FolderEntry>> list_folder(const std::string& path) {
    UniqueHandle<DirTraits> dir(::opendir(path.c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view raw = entry->d_name;
        if (raw == "." || raw == "..")
            continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            // Symbolic links are not followed: lstat tells the link itself.
            struct stat st;
            std::string full = path + "/" + std::string(raw);
            folder = ::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        bool valid = text::is_valid_utf8(raw);
        entries.push_back({valid ? std::string(raw) : replace_invalid_utf8(raw), valid, folder});
    }
    return entries;
}

} // namespace kest::platform
