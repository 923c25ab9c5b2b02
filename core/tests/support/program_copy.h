#pragma once
// A built program copied under another name into a folder of the test's choice, so that the
// process it becomes has the path and the name a test needs.
#include <string>
#include <string_view>

namespace kest::testing {

// Copies program_path(stem) to folder (created when missing) as new_stem plus the platform's
// executable suffix, runnable; returns the new path. Throws std::runtime_error on failure.
std::string copy_program(std::string_view stem, const std::string& folder,
                         std::string_view new_stem);

} // namespace kest::testing
