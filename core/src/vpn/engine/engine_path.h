#pragma once
// Where the engine lies: beside the running core.
#include <optional>
#include <string>
#include <string_view>

namespace kest::vpn {

// The engine's file name on this system ("vuvezozire.exe" on Windows).
std::string engine_file_name();

// The running executable's path with its last component ("\" or "/") replaced by the engine's
// file name; none without a path or without a parent folder.
std::optional<std::string> engine_exe_path_for(std::optional<std::string_view> running_exe);

// engine_exe_path_for the running executable.
std::optional<std::string> engine_exe_path();

} // namespace kest::vpn
