#pragma once
// Between FILETIME records and the file-time scale of platform/clock.h (the same scale).
#include "platform/clock.h"
#include "platform/win32/windows_api.h"

namespace kest::platform::win32 {

inline FileTime to_file_time(const FILETIME& ft) {
    return static_cast<FileTime>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) |
                                 ft.dwLowDateTime);
}

inline FILETIME to_filetime(FileTime time) {
    auto units = static_cast<ULONGLONG>(time);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return ft;
}

} // namespace kest::platform::win32
