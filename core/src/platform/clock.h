#pragma once
// The wall clock: the local time for log stamps, and the system time on the scale of file
// times for comparing file ages.
#include <cstdint>

namespace kest::platform {

struct LocalTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime local_time();

// A point in time in 100 ns units since 1601-01-01 00:00 UTC, the scale of Windows file times;
// both builds use it, so file ages compare the same way everywhere.
using FileTime = std::int64_t;

// The system's current time, as precise as the system keeps it.
FileTime system_time_now();

} // namespace kest::platform
