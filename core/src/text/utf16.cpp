#include "text/utf16.h"

#include "text/utf8.h"

namespace kest::text {

std::u16string to_wide_nul(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size() + 1);
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = decode_utf8(utf8, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    out.push_back(u'\0');
    return out;
}

std::string from_wide_nul(const char16_t* units, std::size_t n) {
    std::string out;
    if (!units)
        return out;
    std::size_t len = 0;
    while (len < n && units[len] != 0)
        ++len;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < len && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            append_utf8(out, u); // an unpaired surrogate becomes U+FFFD there
        }
    }
    return out;
}

bool is_valid_utf16(const char16_t* units, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        char16_t u = units[i];
        if (u >= 0xDC00 && u <= 0xDFFF)
            return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == n || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
    }
    return true;
}

} // namespace kest::text
