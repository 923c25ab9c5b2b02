#pragma once
// Blocking reads and writes on a file descriptor, retried when a signal interrupts them.
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <unistd.h>

#include "platform/posix/error_text.h"
#include "platform/stdio.h"

namespace kest::platform::posix {

// False on failure, with errno telling why (EIO for a write that accepted nothing).
inline bool write_all(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// An Error carries the system's text; errno still tells why.
inline ReadResult read_some(int fd, char* buf, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buf, size);
        if (n > 0)
            return {ReadStatus::Data, static_cast<std::size_t>(n)};
        if (n == 0)
            return {ReadStatus::End};
        if (const int err = errno; err != EINTR) {
            ReadResult failed{ReadStatus::Error, 0, error_text(err)};
            errno = err;
            return failed;
        }
    }
}

} // namespace kest::platform::posix
