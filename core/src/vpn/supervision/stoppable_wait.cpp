#include "vpn/supervision/stoppable_wait.h"

#include <algorithm>
#include <thread>

namespace kest::vpn {

bool stoppable_wait(const std::atomic<bool>& stop, std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    for (;;) {
        if (stop.load())
            return false;
        auto now = Clock::now();
        if (now >= deadline)
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(
            std::min(std::max(left, std::chrono::milliseconds(1)), stop_check_slice));
    }
}

} // namespace kest::vpn
