#include "platform/fs.h"

#include <atomic>

#include "platform/win32/file_time_win32.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

Expected<void> create_directories(const std::string& path) {
    if (path.empty())
        return {};
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !is_separator(path[i]))
            continue;
        std::string current = path.substr(0, i);
        // Drive roots ("C:") and UNC prefixes cannot be created; only real folders are.
        if (current.empty() || current.back() == ':' || is_separator(current.back()))
            continue;
        std::wstring w = win32::wide(current);
        if (!CreateDirectoryW(w.c_str(), nullptr)) {
            DWORD err = GetLastError();
            if (err != ERROR_ALREADY_EXISTS && err != ERROR_ACCESS_DENIED)
                return unexpected(win32::error_text(err));
        }
    }
    DWORD attrs = GetFileAttributesW(win32::wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return win32::last_error();
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
        return unexpected(win32::error_text(ERROR_DIRECTORY));
    return {};
}

Expected<void> write_file(const std::string& path, std::string_view bytes) {
    win32::UniqueKernelHandle f(CreateFileW(win32::wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f)
        return win32::last_error();
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(f.get(), bytes.data() + done, chunk, &written, nullptr))
            return win32::last_error();
        if (written == 0)
            return unexpected(win32::error_text(ERROR_WRITE_FAULT));
        done += written;
    }
    return {};
}

Expected<void> rename_replace(const std::string& from, const std::string& to) {
    if (!MoveFileExW(win32::wide(from).c_str(), win32::wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        return win32::last_error();
    return {};
}

Expected<void> remove_file(const std::string& path) {
    if (!DeleteFileW(win32::wide(path).c_str()))
        return win32::last_error();
    return {};
}

bool file_exists(const std::string& path) {
    return GetFileAttributesW(win32::wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_regular_file(const std::string& path) {
    DWORD attrs = GetFileAttributesW(win32::wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

Expected<std::string> read_file(const std::string& path) {
    win32::UniqueKernelHandle f(CreateFileW(win32::wide(path).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    if (!f)
        return win32::last_error();
    std::string out;
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(f.get(), buf, sizeof buf, &n, nullptr))
            return win32::last_error();
        if (n == 0)
            break;
        out.append(buf, n);
    }
    return out;
}

Expected<std::string> make_temp_dir(std::string_view prefix) {
    wchar_t base[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0)
        return win32::last_error();
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path =
            win32::narrow(base, n) + std::string(prefix) + std::to_string(GetCurrentProcessId()) +
            "-" + std::to_string(counter.fetch_add(1)) + "-" + std::to_string(GetTickCount64());
        if (CreateDirectoryW(win32::wide(path).c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return win32::last_error();
    }
    return unexpected(win32::error_text(ERROR_ALREADY_EXISTS));
}

void remove_tree(const std::string& path) {
    WIN32_FIND_DATAW data;
    win32::UniqueFindHandle find(FindFirstFileW(win32::wide(path + "\\*").c_str(), &data));
    if (find) {
        do {
            std::string name = win32::narrow(data.cFileName, MAX_PATH);
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else {
                SetFileAttributesW(win32::wide(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(win32::wide(child).c_str());
            }
        } while (FindNextFileW(find.get(), &data));
        find.reset(); // the folder cannot go while a search holds it open
    }
    RemoveDirectoryW(win32::wide(path).c_str());
}

Expected<FileTime> last_write_time(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(win32::wide(path).c_str(), GetFileExInfoStandard, &data))
        return win32::last_error();
    return win32::to_file_time(data.ftLastWriteTime);
}

Expected<void> set_last_write_time(const std::string& path, FileTime time) {
    win32::UniqueKernelHandle file(
        CreateFileW(win32::wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return win32::last_error();
    FILETIME ft = win32::to_filetime(time);
    // Creation and access times stay as they are.
    if (!SetFileTime(file.get(), nullptr, nullptr, &ft))
        return win32::last_error();
    return {};
}

} // namespace kest::platform
