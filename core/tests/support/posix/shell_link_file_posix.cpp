#include "support/shell_link_file.h"

namespace kest::testing {

Expected<void> write_shell_link(const std::string&, const std::string&, const std::string&) {
    return unexpected(std::string("no shell links on this platform"));
}

} // namespace kest::testing
