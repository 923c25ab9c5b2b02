#pragma once
// Unicode White_Space: U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000. U+FEFF is not white space.
#include <string_view>

namespace kest::text {

bool is_white_space(char32_t cp);

// Removes Unicode white space at both ends; the result views the input.
std::string_view trim_white_space(std::string_view utf8);

// Removes Unicode white space at the end only; the result views the input.
std::string_view trim_end_white_space(std::string_view utf8);

// Removes only ASCII white space used by JSON (space, tab, CR, LF) at both ends.
std::string_view trim_ascii_white_space(std::string_view bytes);

} // namespace kest::text
