#pragma once
// Slows the end of every thread of this process, after its function has returned and before the
// thread library's own exit work, as a loader lock held by another thread does on Windows. That
// is the moment in which a thread detached after its start once had its record handed to a
// newer thread. Where the system has no such moment (POSIX), nothing is slowed.
namespace kest::testing {

class SlowThreadExits {
public:
    SlowThreadExits();
    ~SlowThreadExits();
    SlowThreadExits(const SlowThreadExits&) = delete;
    SlowThreadExits& operator=(const SlowThreadExits&) = delete;
};

} // namespace kest::testing
