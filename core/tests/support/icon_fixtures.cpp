#include "support/icon_fixtures.h"

namespace kest::testing {
namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

Expected<std::string> png_of_icon_text(std::string_view icon) {
    constexpr std::string_view prefix = "data:image/png;base64,";
    if (icon.substr(0, prefix.size()) != prefix)
        return unexpected(std::string("not a PNG data URL"));
    std::string_view text = icon.substr(prefix.size());
    if (text.size() % 4 != 0)
        return unexpected(std::string("Base64 length is not a multiple of 4"));
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        std::uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            int v = k >= 4 - pad ? 0 : sextet(text[i + k]);
            if (v < 0)
                return unexpected(std::string("not Base64"));
            group = group << 6 | static_cast<std::uint32_t>(v);
        }
        out += static_cast<char>(group >> 16);
        if (pad < 2)
            out += static_cast<char>(group >> 8 & 0xFF);
        if (pad < 1)
            out += static_cast<char>(group & 0xFF);
    }
    return out;
}

} // namespace kest::testing
