#pragma once
// Where the built programs lie: every test program, kestcore and the doubles share one folder.
#include <string>
#include <string_view>

namespace kest::testing {

std::string bin_dir();
// The path of a program built beside the tests ("kestcore" gives kestcore.exe on Windows).
std::string program_path(std::string_view stem);

} // namespace kest::testing
