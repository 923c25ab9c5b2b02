#pragma once
// The local wall-clock time, for log stamps.

namespace kest::platform {

struct LocalTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime local_time();

} // namespace kest::platform
