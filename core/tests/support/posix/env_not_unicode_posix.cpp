#include "support/env_not_unicode.h"

#include <cstdlib>

namespace kest::testing {

void set_env_not_unicode(const std::string& name) {
    ::setenv(name.c_str(), "warn\xff", 1);
}

} // namespace kest::testing
