#pragma once
// Waiting that a session's stop flag cuts short: the session threads sleep in slices so that a
// stopped session lets go of them within a slice.
#include <atomic>
#include <chrono>

namespace kest::vpn {

inline constexpr std::chrono::milliseconds stop_check_slice{100};

// Waits duration in slices of at most 100 ms, reading the flag before each slice and once more
// at the end. False as soon as the flag reads raised; true when the whole duration passed.
bool stoppable_wait(const std::atomic<bool>& stop, std::chrono::milliseconds duration);

} // namespace kest::vpn
