#pragma once
// Waiting for something another thread or process brings about, without a fixed sleep.
#include <chrono>
#include <thread>

namespace kest::testing {

// True once the condition holds, checked every 10 ms; false when it still does not after limit.
template <class Condition> bool eventually(Condition condition, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace kest::testing
