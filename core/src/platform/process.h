#pragma once
// Child processes with their standard streams on anonymous pipes (or on the null device).
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "platform/stdio.h"

namespace kest::platform {

// One end of an anonymous pipe; closes itself when dropped.
class PipeEnd {
public:
    PipeEnd() = default;
    PipeEnd(const PipeEnd&) = delete;
    PipeEnd& operator=(const PipeEnd&) = delete;
    virtual ~PipeEnd() = default;
    // Blocks until bytes arrive; End once the other side has closed.
    virtual ReadResult read(char* buf, std::size_t size) = 0;
    virtual bool write(std::string_view bytes) = 0;
    virtual void close() = 0;
    // Safe from another thread while one reads: a read pending there returns soon, and every
    // later read at once, as an Error with the system's text for a cancelled operation. Only
    // the output ends of a child started with cancellable_output can be cancelled; on other
    // ends it does nothing.
    virtual void cancel() {}
};

// A started child. Dropping it closes the handles but leaves the process running.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    virtual ~Process() = default;
    virtual std::uint32_t pid() const = 0;
    // The exit code once the process has ended, none while it runs. An error counts as ended
    // with code -1.
    virtual std::optional<int> try_wait() = 0;
    virtual int wait() = 0;
    // Safe from another thread while one waits; does nothing once the end has been seen.
    virtual void terminate(int exit_code) = 0;
};

struct SpawnOptions {
    std::string program;
    std::vector<std::string> args; // without the program itself
    bool pipes = true;             // false: all three streams on the null device
    bool no_window = true;         // CREATE_NO_WINDOW on Windows
    // Output ends whose reads PipeEnd::cancel can end. Whoever inherits the child's output (a
    // child of its own) keeps it open after the child has gone, and a read would wait for them.
    // Each such read waits on the pipe and on the cancel together, which plain reads spare.
    bool cancellable_output = false;
};

struct Child {
    std::unique_ptr<Process> process;
    std::unique_ptr<PipeEnd> stdin_pipe;  // our write end
    std::unique_ptr<PipeEnd> stdout_pipe; // our read end
    std::unique_ptr<PipeEnd> stderr_pipe; // our read end
};

// Starts the program with the options' arguments; the child inherits our environment and our
// current folder. The error is the system's error text.
Expected<Child> spawn(const SpawnOptions& options);

// The file name of a program with this stem on this system: "vuvezozire.exe" on Windows,
// "vuvezozire" elsewhere.
std::string executable_file_name(std::string_view stem);

} // namespace kest::platform
