#include "text/base64.h"

#include <cstdint>

namespace kest::text {

std::string base64_encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(std::uint8_t(bytes[i])); };
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += kAlphabet[group & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += rest == 2 ? kAlphabet[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace kest::text
