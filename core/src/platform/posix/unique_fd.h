#pragma once
// An owned file descriptor.
#include <unistd.h>

#include "platform/unique_handle.h"

namespace kest::platform::posix {

struct FdTraits {
    using type = int;
    static int invalid() noexcept { return -1; }
    static void close(int fd) noexcept { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;

} // namespace kest::platform::posix
