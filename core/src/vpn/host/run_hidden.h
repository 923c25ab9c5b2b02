#pragma once
// Running a system tool without a window and taking what it prints.
#include <chrono>
#include <string>
#include <vector>

#include "base/expected.h"

namespace kest::vpn {

using namespace std::chrono_literals;

// Starts program with the arguments, no console window, an input that is ended at once, and
// both output streams read to their ends. Exit code 0 gives the standard-output bytes; another
// code gives "код {code}: {output}" (output decoded with invalid bytes replaced and trimmed;
// standard error is dropped). A tool still running after time_limit is ended and the run
// fails: a tool that never returns must not hold the VPN worker forever. So does a run whose
// output is still open then, whoever holds it (a child the tool left behind); the run returns
// within a small margin of the limit either way. A failure to start or to read gives the
// system's error text.
Expected<std::string> run_hidden(const std::string& program, const std::vector<std::string>& args,
                                 std::chrono::milliseconds time_limit = 60s);

} // namespace kest::vpn
