#pragma once
// A folder as the beginning of the paths below it.
#include <string>
#include <string_view>

namespace kest::vpn {

// The folder without its trailing "\" and "/", lowered with the full Unicode mapping, followed
// by sep. Only the trailing separators are touched: "C:/Tools" stays written with "/".
std::string folder_prefix(std::string_view folder, char sep);

} // namespace kest::vpn
