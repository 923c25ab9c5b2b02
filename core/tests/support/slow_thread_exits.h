#pragma once
// Slows the end of every thread of this process, after its function has returned and before the
// thread library's own exit work, as a loader lock held by another thread does on Windows. That
// is the moment in which a thread detached after its start once had its record handed to a
// newer thread. Where the system has no such moment (POSIX), nothing is slowed. On Windows, a
// thread that crashes meanwhile ends the process with exit code 3 and a line on stderr.
#include <cstddef>
#include <optional>

namespace kest::testing {

class SlowThreadExits {
public:
    SlowThreadExits();
    ~SlowThreadExits();
    SlowThreadExits(const SlowThreadExits&) = delete;
    SlowThreadExits& operator=(const SlowThreadExits&) = delete;

    // The threads that have started since this was made, and how many of them have ended: an
    // ended thread is past its function, so once all have ended none of them can still run.
    // Where nothing is slowed they are not counted.
    struct Threads {
        std::size_t started = 0;
        std::size_t ended = 0;
        bool operator==(const Threads&) const = default;
    };
    std::optional<Threads> threads() const;
};

} // namespace kest::testing
