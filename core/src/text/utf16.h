#pragma once
// Conversions between UTF-8 text and NUL-terminated UTF-16 buffers for Windows calls.
#include <cstddef>
#include <string>
#include <string_view>

namespace kest::text {

// UTF-16 encoding of the text followed by one 0 unit; an embedded NUL is copied unchanged.
std::u16string to_wide_nul(std::string_view utf8);

// Units up to the first 0 unit (or all n units); unpaired surrogates become U+FFFD.
std::string from_wide_nul(const char16_t* units, std::size_t n);

// Whether the n units are Unicode text: every surrogate in a pair, high before low.
bool is_valid_utf16(const char16_t* units, std::size_t n);

} // namespace kest::text
