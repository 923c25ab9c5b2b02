#pragma once
// The pixels of the fixture icons that the doubles icon_with_alpha and icon_without_alpha carry
// as resources (made by doubles/make_test_icon.py from the same rules), and the way back from
// an icon text to its PNG file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"

namespace kest::testing {

inline constexpr std::uint32_t kFixtureIconSize = 32;

enum class FixtureIcon { WithAlpha, WithoutAlpha };

struct FixturePixels {
    std::vector<std::uint8_t> rgba; // as stored in the icon's colour bitmap, rows top to bottom
    std::vector<std::uint8_t> mask; // 1 where the AND mask is set
};

inline FixturePixels fixture_icon_pixels(FixtureIcon kind) {
    FixturePixels out;
    for (std::uint32_t y = 0; y < kFixtureIconSize; ++y) {
        for (std::uint32_t x = 0; x < kFixtureIconSize; ++x) {
            std::uint32_t r, g, b, a, m;
            if (kind == FixtureIcon::WithAlpha) {
                r = 8 * x, g = 8 * y, b = 255 - 4 * (x + y), a = y < 16 ? 255 : 64 + 4 * x, m = 0;
            } else if (y < 6 || x < 3 || x == y) {
                r = g = b = a = 0, m = 1; // masked pixels of an icon without alpha are black
            } else {
                r = 8 * x, g = 255 - 8 * y, b = 128, a = 0, m = 0;
            }
            for (std::uint32_t v : {r, g, b, a})
                out.rgba.push_back(static_cast<std::uint8_t>(v));
            out.mask.push_back(static_cast<std::uint8_t>(m));
        }
    }
    return out;
}

// The PNG file inside an icon text "data:image/png;base64,..."; an error for any other text.
Expected<std::string> png_of_icon_text(std::string_view icon);

} // namespace kest::testing
