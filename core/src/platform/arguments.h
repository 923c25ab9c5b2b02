#pragma once
// The program's arguments as UTF-8, whatever the system's code page: on Windows the
// narrow argv of main holds only what the ANSI code page can express, so a path with Cyrillic
// letters would arrive damaged.
#include <string>
#include <vector>

namespace kest::platform {

// argv[1..argc-1] as UTF-8 (the program name left out).
std::vector<std::string> program_arguments(int argc, char** argv);

} // namespace kest::platform
