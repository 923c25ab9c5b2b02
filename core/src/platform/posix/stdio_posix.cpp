#include "platform/stdio.h"

#include <cerrno>
#include <unistd.h>

namespace kest::platform {
namespace {

bool write_all(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ReadResult read_stdin(char* buf, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(0, buf, size);
        if (n > 0)
            return {ReadStatus::Data, static_cast<std::size_t>(n)};
        if (n == 0)
            return {ReadStatus::End};
        if (errno == EINTR)
            continue;
        if (errno == EBADF)
            return {ReadStatus::End};
        return {ReadStatus::Error};
    }
}

bool write_stdout(std::string_view bytes) {
    return write_all(1, bytes);
}
bool write_stderr(std::string_view bytes) {
    return write_all(2, bytes);
}

} // namespace kest::platform
