#pragma once
// Starting a program on our own three standard streams, the way a tool hands them down to a
// helper of its own: while that program lives, whatever reads our output sees it still open.
#include <cstdint>
#include <string>
#include <vector>

#include "base/expected.h"

namespace kest::testing {

// Starts the program with the arguments and leaves it running; gives its process id. The
// error is the system's error text.
Expected<std::uint32_t> start_with_shared_streams(const std::string& program,
                                                  const std::vector<std::string>& args);

} // namespace kest::testing
