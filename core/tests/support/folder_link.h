#pragma once
// A link that makes one folder appear inside another (a symbolic link to a folder).
#include <string>

#include "base/expected.h"

namespace kest::testing {

// Creates link pointing at the existing folder target; the error tells why not.
Expected<void> make_folder_link(const std::string& link, const std::string& target);

} // namespace kest::testing
