#pragma once
// Bytes and numbers as hexadecimal text.
#include <cstdint>
#include <span>
#include <string>

namespace kest::text {

inline constexpr char kHexDigitsLower[] = "0123456789abcdef";
inline constexpr char kHexDigitsUpper[] = "0123456789ABCDEF";

// Two digits per byte, in byte order.
inline std::string hex_of(std::span<const std::uint8_t> bytes, const char* digits) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

inline std::string hex_lower(std::span<const std::uint8_t> bytes) {
    return hex_of(bytes, kHexDigitsLower);
}

inline std::string hex_upper(std::span<const std::uint8_t> bytes) {
    return hex_of(bytes, kHexDigitsUpper);
}

// value as `digits` uppercase digits, most significant first.
inline void append_hex_upper(std::string& out, std::uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.push_back(kHexDigitsUpper[(value >> shift) & 0x0f]);
}

// One escape of a URL: "%" and the byte as two uppercase digits.
inline void append_percent_escape(std::string& out, unsigned char byte) {
    out.push_back('%');
    append_hex_upper(out, byte, 2);
}

} // namespace kest::text
