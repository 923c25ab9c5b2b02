#include "platform/folder_listing.h"

#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"
#include "text/path_text.h"

namespace kest::platform {
namespace {

bool is_valid_utf16(const wchar_t* units, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        wchar_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= n || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

struct FindTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};

} // namespace

std::optional<std::vector<FolderEntry>> list_folder(const std::string& path) {
    WIN32_FIND_DATAW data;
    UniqueHandle<FindTraits> find(
        FindFirstFileW(win32::wide(text::join_path(path, "*", '\\')).c_str(), &data));
    std::vector<FolderEntry> entries;
    if (!find) {
        // A folder without even "." and ".." (a drive root) is empty, not unreadable.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return entries;
        return std::nullopt;
    }
    do {
        std::size_t length = wcsnlen(data.cFileName, MAX_PATH);
        std::string name = win32::narrow(data.cFileName, length);
        if (name == "." || name == "..")
            continue;
        const DWORD attributes = data.dwFileAttributes;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          IsReparseTagNameSurrogate(data.dwReserved0);
        entries.push_back({std::move(name), is_valid_utf16(data.cFileName, length),
                           (attributes & FILE_ATTRIBUTE_DIRECTORY) && !link});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

} // namespace kest::platform
