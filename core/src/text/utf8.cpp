#include "text/utf8.h"

namespace kest::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of a well-formed sequence starting at pos, or 0.
std::size_t valid_sequence_length(std::string_view s, std::size_t pos, char32_t& cp) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b0 = byte(pos);
    std::size_t left = s.size() - pos;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    auto cont = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (left < 2 || !cont(pos + 1))
            return 0;
        cp = (char32_t(b0 & 0x1F) << 6) | (byte(pos + 1) & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3 || !cont(pos + 1) || !cont(pos + 2))
            return 0;
        unsigned char b1 = byte(pos + 1);
        if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 > 0x9F))
            return 0; // overlong or surrogate
        cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4 || !cont(pos + 1) || !cont(pos + 2) || !cont(pos + 3))
            return 0;
        unsigned char b1 = byte(pos + 1);
        if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 > 0x8F))
            return 0; // overlong or above U+10FFFF
        cp = (char32_t(b0 & 0x07) << 18) | (char32_t(b1 & 0x3F) << 12) |
             (char32_t(byte(pos + 2) & 0x3F) << 6) | (byte(pos + 3) & 0x3F);
        return 4;
    }
    return 0;
}

} // namespace

bool is_valid_utf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // ASCII runs are the common case; skip them without decoding.
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t cp;
        std::size_t n = valid_sequence_length(bytes, pos, cp);
        if (n == 0)
            return false;
        pos += n;
    }
    return true;
}

char32_t decode_utf8(std::string_view bytes, std::size_t& pos) {
    char32_t cp;
    std::size_t n = valid_sequence_length(bytes, pos, cp);
    if (n == 0) {
        ++pos;
        return kReplacement;
    }
    pos += n;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace kest::text
