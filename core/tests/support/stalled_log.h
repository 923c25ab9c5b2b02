#pragma once
// A log that stalls, the way it does when the front end is slow to read the core's standard
// error: one long line fills the pipe and holds the log until released, and every other log
// line of the process waits behind it.
#include <thread>

#include "support/stderr_pipe.h"

namespace kest::testing {

class StalledLog {
public:
    // Returns once the long line holds the log.
    StalledLog();
    // Releases the log if the test has not, then gives standard error back: only once no
    // thread writes the log any more.
    ~StalledLog();
    StalledLog(const StalledLog&) = delete;
    StalledLog& operator=(const StalledLog&) = delete;

    // Reads the pipe from now on (what the log wrote is dropped), so every log line ends.
    void release();

private:
    StderrPipe pipe_;
    std::thread filler_;
    std::thread drain_;
};

} // namespace kest::testing
