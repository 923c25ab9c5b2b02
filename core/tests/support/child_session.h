#pragma once
// Drives a child program over its standard streams, the way the front end drives the core:
// writes request lines, collects the lines it prints on stdout and stderr, waits for its exit.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/process.h"

namespace kest::testing {

using namespace std::chrono_literals;

class ChildSession {
public:
    // Starts the program (a path from program_path) with pipes on all three streams.
    explicit ChildSession(const std::string& program, std::vector<std::string> args = {});
    ~ChildSession();
    ChildSession(const ChildSession&) = delete;
    ChildSession& operator=(const ChildSession&) = delete;

    bool write(std::string_view bytes);
    void close_stdin();
    // Closes our end of the child's standard output once the next bytes have arrived, the way
    // a front end that stops reading would; later output of the child finds no reader.
    void close_stdout_after_next_read();
    // Stops reading the child's standard output after the bytes that have arrived, the way a
    // front end that is busy elsewhere would: the pipe fills and the child's writes wait. The
    // reading resumes when asked, or once the child has been seen to exit.
    void pause_stdout();
    void resume_stdout();

    // The next stdout line (without "\n"), waiting at most timeout; none on time-out or end.
    std::optional<std::string> next_line(std::chrono::milliseconds timeout = 10s);
    // All stdout lines seen so far, and after exit all of them.
    std::vector<std::string> stdout_lines();
    std::vector<std::string> stderr_lines();
    // Waits for the stderr line count to reach n.
    bool wait_stderr_lines(std::size_t n, std::chrono::milliseconds timeout = 10s);

    // The exit code, or none when the process still runs after timeout.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout = 20s);
    bool stdout_closed();

    std::uint32_t pid() const;

private:
    struct Stream {
        std::vector<std::string> lines;
        std::size_t taken = 0;
        bool closed = false;
    };
    void pump(platform::PipeEnd* pipe, Stream& stream);

    platform::Child child_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Stream out_, err_;
    std::thread out_thread_, err_thread_;
    std::optional<int> exit_code_;
    std::atomic<bool> close_stdout_{false};
    bool stdout_paused_ = false; // under mutex_
};

} // namespace kest::testing
