#pragma once
// The process's standard error swapped for a pipe whose read end the test holds, so that the
// test decides when (and whether) the log's lines get through.
#include <cstddef>
#include <cstdint>

namespace kest::testing {

class StderrPipe {
public:
    StderrPipe();
    ~StderrPipe();
    StderrPipe(const StderrPipe&) = delete;
    StderrPipe& operator=(const StderrPipe&) = delete;

    // Bytes written and not yet read.
    std::size_t waiting();
    // Blocks for the next bytes; 0 once the pipe has been given back and is empty.
    std::size_t read(char* buf, std::size_t size);
    // Puts the old standard error back and closes the pipe's write end. Only while no thread
    // writes the log: one in the middle of a write would be left with a closed handle.
    void give_back();

private:
    std::intptr_t read_end_ = -1;
    std::intptr_t write_end_ = -1;
    std::intptr_t saved_ = -1;
};

} // namespace kest::testing
