#pragma once
// Outside bytes made into text that is safe to log and compare.
#include <string>
#include <string_view>

namespace kest::text {

// The bytes as UTF-8 with every ill-formed byte replaced by U+FFFD.
std::string replace_invalid_utf8(std::string_view bytes);

} // namespace kest::text
