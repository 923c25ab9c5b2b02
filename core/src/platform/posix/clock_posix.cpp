#include "platform/clock.h"

#include <ctime>

namespace kest::platform {

LocalTime local_time() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (!::localtime_r(&now, &tm))
        return {};
    return {tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace kest::platform
