#include "platform/process_terminate.h"

#include <csignal>
#include <sys/types.h>

namespace kest::platform {

bool terminate_process(std::uint32_t pid, int) {
    // 0 and values that turn negative as a pid_t would address whole process groups.
    if (pid == 0 || pid > 0x7FFFFFFFu)
        return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace kest::platform
