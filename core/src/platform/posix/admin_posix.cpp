#include "platform/admin.h"

#include <unistd.h>

namespace kest::platform {

bool is_administrator() {
    return ::geteuid() == 0;
}

} // namespace kest::platform
