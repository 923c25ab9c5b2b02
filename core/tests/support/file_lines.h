#pragma once
// The records that doubles and tests append to files, read back a line at a time.
#include <string>
#include <vector>

namespace kest::testing {

// The complete lines of the file, without their "\n"; a last line without its end is left out,
// since its writer may not have finished it. None when the file cannot be read.
std::vector<std::string> file_lines(const std::string& path);

} // namespace kest::testing
