#include "support/process_running.h"

#include "platform/process_image.h"
#include "platform/process_snapshot.h"

namespace kest::testing {

bool process_running(std::uint32_t pid) {
    platform::ImagePathBuffer buffer;
    for (const auto& process : platform::process_snapshot())
        if (process.pid == pid)
            return !platform::process_image_path(pid, buffer).empty();
    return false;
}

} // namespace kest::testing
