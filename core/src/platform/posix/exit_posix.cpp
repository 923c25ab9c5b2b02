#include "platform/exit.h"

#include <unistd.h>

namespace kest::platform {

void exit_process(int code) {
    ::_exit(code);
}

} // namespace kest::platform
