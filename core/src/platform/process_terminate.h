#pragma once
// Ending another process by its id, for processes the core did not start itself.
#include <cstdint>

namespace kest::platform {

// Opens the process with the right to terminate it and ends it with exit_code (POSIX: SIGKILL,
// the code is the signal's). False when it cannot be opened or the termination fails.
bool terminate_process(std::uint32_t pid, int exit_code);

} // namespace kest::platform
