#include "support/folder_link.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kest::testing {

Expected<void> make_folder_link(const std::string& link, const std::string& target) {
    if (::symlink(target.c_str(), link.c_str()) != 0)
        return unexpected(std::string(std::strerror(errno)));
    return {};
}

} // namespace kest::testing
