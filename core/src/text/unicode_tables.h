#pragma once
// Lookups into the case and white-space tables generated from the Unicode character database
// (tools/gen_unicode_tables.py writes unicode_tables.inc).
#include <string_view>

namespace kest::text::unicode {

// The one-code-point lowercase form of cp (cp itself when it has none or a longer one).
char32_t simple_lower(char32_t cp);

// The UTF-8 lowercase form of cp when it is longer than one code point, else empty.
std::string_view long_lower(char32_t cp);

bool is_white_space_property(char32_t cp);
bool is_cased(char32_t cp);
bool is_case_ignorable(char32_t cp);

} // namespace kest::text::unicode
