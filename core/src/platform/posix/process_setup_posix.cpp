#include "platform/process_setup.h"

#include <csignal>

namespace kest::platform {

void prepare_process() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace kest::platform
