#pragma once
// Windows command-line quoting, the inverse of the rules CommandLineToArgvW and the C runtime
// use to split a command line. Pure text, so it is tested on every build.
#include <string>
#include <string_view>
#include <vector>

namespace kest::platform {

void append_quoted_argument(std::string& command_line, std::string_view arg);
std::string build_command_line(std::string_view program, const std::vector<std::string>& args);

} // namespace kest::platform
