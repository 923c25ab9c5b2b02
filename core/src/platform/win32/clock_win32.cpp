#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace kest::platform {

LocalTime local_time() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wHour, st.wMinute, st.wSecond};
}

} // namespace kest::platform
