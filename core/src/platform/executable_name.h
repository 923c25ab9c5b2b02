#pragma once
// How the platform names executable files.
#include <string>
#include <string_view>

namespace kest::platform {

// ".exe" on Windows, "" elsewhere.
std::string_view executable_suffix();

inline std::string executable_file_name(std::string_view stem) {
    return std::string(stem) + std::string(executable_suffix());
}

} // namespace kest::platform
