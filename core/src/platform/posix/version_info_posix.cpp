#include "platform/version_info.h"

namespace kest::platform {

// Executables here carry no version resource.
std::string file_description(const std::string&) {
    return "";
}

} // namespace kest::platform
