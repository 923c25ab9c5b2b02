#pragma once
// Full Unicode lowercase mapping (UnicodeData plus the unconditional SpecialCasing rules),
// from tables generated out of the Unicode character database.
#include <string>
#include <string_view>

namespace kest::text {

// Lowercases every code point; ill-formed UTF-8 bytes become U+FFFD.
std::string to_lower(std::string_view utf8);

// True when the lowercase form of haystack contains the lowercase form of needle.
bool contains_ignoring_case(std::string_view haystack, std::string_view needle);

} // namespace kest::text
