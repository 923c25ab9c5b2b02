#pragma once
// The process's own memory: its working-set size and a way to hand unused pages back.
#include <cstdint>

namespace kest::platform {

// Bytes in the working set (the resident set on POSIX); 0 when it cannot be read.
std::uint64_t working_set_size();

// Removes as many pages as possible from the working set; failures are ignored.
void trim_working_set();

} // namespace kest::platform
