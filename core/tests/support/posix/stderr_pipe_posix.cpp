#include "support/stderr_pipe.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kest::testing {

StderrPipe::StderrPipe() {
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    read_end_ = fds[0];
    saved_ = ::dup(2);
    ::dup2(fds[1], 2);
    ::close(fds[1]);
    write_end_ = 2;
}

StderrPipe::~StderrPipe() {
    give_back();
    if (read_end_ >= 0)
        ::close(static_cast<int>(read_end_));
}

std::size_t StderrPipe::waiting() {
    int n = 0;
    if (::ioctl(static_cast<int>(read_end_), FIONREAD, &n) != 0)
        return 0;
    return static_cast<std::size_t>(n);
}

std::size_t StderrPipe::read(char* buf, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(static_cast<int>(read_end_), buf, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

void StderrPipe::give_back() {
    if (saved_ < 0)
        return;
    // Replacing descriptor 2 closes the pipe's only write end.
    ::dup2(static_cast<int>(saved_), 2);
    ::close(static_cast<int>(saved_));
    saved_ = -1;
}

} // namespace kest::testing
