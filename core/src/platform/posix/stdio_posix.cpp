#include "platform/stdio.h"

#include <cerrno>

#include "platform/posix/fd_io.h"

namespace kest::platform {

ReadResult read_stdin(char* buf, std::size_t size) {
    ReadResult r = posix::read_some(0, buf, size);
    // A process started without standard input reads it as ended.
    if (r.status == ReadStatus::Error && errno == EBADF)
        return {ReadStatus::End};
    return r;
}

bool write_stdout(std::string_view bytes) {
    return posix::write_all(1, bytes);
}
bool write_stderr(std::string_view bytes) {
    return posix::write_all(2, bytes);
}

} // namespace kest::platform
