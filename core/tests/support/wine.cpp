#include "support/wine.h"

#include "platform/env.h"

namespace kest::testing {

// Wine puts its configuration folder into every process's environment.
bool running_under_wine() {
    return platform::get_env("WINECONFIGDIR").has_value();
}

} // namespace kest::testing
