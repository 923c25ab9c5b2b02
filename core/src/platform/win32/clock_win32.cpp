#include "platform/clock.h"

#include "platform/win32/file_time_win32.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {

LocalTime local_time() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wHour, st.wMinute, st.wSecond};
}

FileTime system_time_now() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    return win32::to_file_time(ft);
}

} // namespace kest::platform
