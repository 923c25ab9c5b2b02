#include "platform/random.h"

#include <cerrno>
#include <sys/random.h>

#include "platform/posix/error_text.h"

namespace kest::platform {

Expected<void> fill_random(std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::getrandom(bytes.data() + done, bytes.size() - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unexpected("getrandom: " + posix::error_text(errno));
        done += static_cast<std::size_t>(n);
    }
    return {};
}

} // namespace kest::platform
