#include "text/white_space.h"

#include "text/unicode_tables.h"
#include "text/utf8.h"

namespace kest::text {
namespace {

bool is_json_white_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Length of the white-space character that ends s, or 0. Every white-space character is at
// most three bytes long, and a lead byte is never a continuation byte, so a well-formed
// sequence found at the end decodes the same way a forward reading would.
std::size_t trailing_white_space_length(std::string_view s) {
    for (std::size_t n = 1; n <= 3 && n <= s.size(); ++n) {
        std::size_t pos = s.size() - n;
        char32_t cp = decode_utf8(s, pos);
        bool ill_formed = cp == 0xFFFD && pos == s.size() - n + 1;
        if (pos == s.size() && !ill_formed)
            return is_white_space(cp) ? n : 0;
    }
    return 0;
}

} // namespace

bool is_white_space(char32_t cp) {
    if (cp < 0x80)
        return cp == ' ' || (cp >= 0x09 && cp <= 0x0D);
    return unicode::is_white_space_property(cp);
}

std::string_view trim_white_space(std::string_view utf8) {
    std::size_t begin = 0;
    while (begin < utf8.size()) {
        std::size_t next = begin;
        if (!is_white_space(decode_utf8(utf8, next)))
            break;
        begin = next;
    }
    utf8.remove_prefix(begin);
    return trim_end_white_space(utf8);
}

std::string_view trim_end_white_space(std::string_view utf8) {
    while (std::size_t n = trailing_white_space_length(utf8))
        utf8.remove_suffix(n);
    return utf8;
}

std::string_view trim_ascii_white_space(std::string_view bytes) {
    while (!bytes.empty() && is_json_white_space(bytes.front()))
        bytes.remove_prefix(1);
    while (!bytes.empty() && is_json_white_space(bytes.back()))
        bytes.remove_suffix(1);
    return bytes;
}

} // namespace kest::text
