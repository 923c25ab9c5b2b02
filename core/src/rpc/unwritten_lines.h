#pragma once
// The lines on their way to standard output: an event from its queueing until the event writer
// has written it, a response while it is being written. The exit waits for them, so that what
// the core said before it ended reaches the front end.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

namespace kest::rpc {

class UnwrittenLines {
public:
    void add() { count_.fetch_add(1); }
    // Written, or lost on a closed output: off its way either way.
    void done() { count_.fetch_sub(1); }

    // True once no line is on its way; false when the deadline comes first (a front end that
    // has stopped reading holds every line back).
    bool wait_until_written(std::chrono::steady_clock::time_point deadline) const {
        for (;;) {
            if (count_.load() == 0)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    std::atomic<std::size_t> count_{0};
};

} // namespace kest::rpc
