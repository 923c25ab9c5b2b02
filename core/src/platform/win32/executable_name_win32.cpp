#include "platform/executable_name.h"

namespace kest::platform {

std::string_view executable_suffix() {
    return ".exe";
}

} // namespace kest::platform
