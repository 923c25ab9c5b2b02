#pragma once
// Whether a process the test started, or one started by those, still runs.
#include <cstdint>

namespace kest::testing {

// True while the process runs; a zombie, whose image is gone, does not.
bool process_running(std::uint32_t pid);

} // namespace kest::testing
