#include "support/slow_thread_exits.h"

namespace kest::testing {

// A detached POSIX thread's end has no step that can hand its record to another thread.
SlowThreadExits::SlowThreadExits() = default;
SlowThreadExits::~SlowThreadExits() = default;

std::optional<SlowThreadExits::Threads> SlowThreadExits::threads() const {
    return std::nullopt;
}

} // namespace kest::testing
