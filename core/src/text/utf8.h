#pragma once
// UTF-8 validation and decoding shared by every reader of outside text.
#include <cstddef>
#include <string>
#include <string_view>

namespace kest::text {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

// Decodes one code point starting at bytes[pos] and advances pos. Ill-formed input yields
// U+FFFD and advances by one byte, so a caller can never loop forever.
char32_t decode_utf8(std::string_view bytes, std::size_t& pos);

// Appends the UTF-8 form of a code point (surrogates and values above U+10FFFF become U+FFFD).
void append_utf8(std::string& out, char32_t cp);

} // namespace kest::text
