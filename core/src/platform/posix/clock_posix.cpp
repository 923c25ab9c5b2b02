#include "platform/clock.h"

#include <ctime>

#include "platform/posix/unix_time.h"

namespace kest::platform {

LocalTime local_time() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (!::localtime_r(&now, &tm))
        return {};
    return {tm.tm_hour, tm.tm_min, tm.tm_sec};
}

FileTime system_time_now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return posix::to_file_time(ts);
}

} // namespace kest::platform
