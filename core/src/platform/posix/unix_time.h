#pragma once
// Between POSIX time stamps and the file-time scale of platform/clock.h.
#include <ctime>

#include "platform/clock.h"

namespace kest::platform::posix {

// 1970-01-01 on the file-time scale.
inline constexpr FileTime unix_epoch_file_time = 116'444'736'000'000'000;
inline constexpr FileTime ticks_per_second = 10'000'000;

inline FileTime to_file_time(const timespec& ts) {
    return unix_epoch_file_time + static_cast<FileTime>(ts.tv_sec) * ticks_per_second +
           ts.tv_nsec / 100;
}

inline timespec to_timespec(FileTime time) {
    FileTime since_epoch = time - unix_epoch_file_time;
    FileTime seconds = since_epoch / ticks_per_second;
    FileTime rest = since_epoch % ticks_per_second;
    if (rest < 0) { // tv_nsec counts forward from the second before
        rest += ticks_per_second;
        --seconds;
    }
    timespec ts{};
    ts.tv_sec = static_cast<std::time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

} // namespace kest::platform::posix
