#include "apps/icon_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/icon_fixtures.h"
#include "support/png_reference.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

platform::ShellIcon icon_of(std::vector<std::uint8_t> alphas, std::vector<std::uint8_t> mask) {
    platform::ShellIcon icon;
    icon.width = static_cast<std::uint32_t>(alphas.size());
    icon.height = 1;
    for (std::size_t i = 0; i < alphas.size(); ++i)
        icon.rgba.insert(icon.rgba.end(), {std::uint8_t(10 + i), 20, 30, alphas[i]});
    icon.mask = std::move(mask);
    return icon;
}

std::vector<std::uint8_t> alphas_of(const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        out.push_back(rgba[i]);
    return out;
}

TEST(TakeOpacityFromMask, AppliesTheMaskOnlyWhenNoPixelHasAlpha) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> alphas, mask, expected;
    };
    const Case cases[] = {
        {"no alpha anywhere: clear mask bits show", {0, 0, 0, 0}, {0, 1, 1, 0}, {255, 0, 0, 255}},
        {"no alpha, the whole mask set", {0, 0}, {1, 1}, {0, 0}},
        {"one pixel with alpha keeps them all", {0, 0, 7, 0}, {0, 1, 1, 0}, {0, 0, 7, 0}},
        {"alpha icon with a clear mask", {255, 128}, {0, 0}, {255, 128}},
        {"no readable mask", {0, 0}, {}, {0, 0}},
        {"a mask of another size", {0, 0}, {0}, {0, 0}},
    };
    for (const Case& c : cases) {
        platform::ShellIcon icon = icon_of(c.alphas, c.mask);
        take_opacity_from_mask(icon);
        EXPECT_EQ(alphas_of(icon.rgba), c.expected) << c.what;
        EXPECT_EQ(icon.rgba[0], 10) << c.what << ": colour untouched";
    }
}

TEST(IconDataUrl, HoldsAPngOfTheIconsPixels) {
    for (auto kind : {testing::FixtureIcon::WithAlpha, testing::FixtureIcon::WithoutAlpha}) {
        testing::FixturePixels fixture = testing::fixture_icon_pixels(kind);
        platform::ShellIcon icon{testing::kFixtureIconSize, testing::kFixtureIconSize, fixture.rgba,
                                 fixture.mask};
        std::string url = icon_data_url(icon);
        auto png = testing::png_of_icon_text(url);
        ASSERT_TRUE(png) << png.error();
        auto decoded = testing::decode_png_reference(*png);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded->width, testing::kFixtureIconSize);
        EXPECT_EQ(decoded->height, testing::kFixtureIconSize);
        std::vector<std::uint8_t> expected = fixture.rgba;
        if (kind == testing::FixtureIcon::WithoutAlpha)
            for (std::size_t i = 0; i < fixture.mask.size(); ++i)
                expected[i * 4 + 3] = fixture.mask[i] ? 0 : 255;
        EXPECT_EQ(decoded->rgba, expected);
    }
}

TEST(IconDataUrl, IsEmptyForAnIconWithoutPixels) {
    EXPECT_EQ(icon_data_url(platform::ShellIcon{}), "");
    EXPECT_EQ(icon_data_url(platform::ShellIcon{2, 2, {1, 2, 3, 4}, {}}), "");
}

TEST(IconTextOf, IsEmptyForAPathWithoutAnIcon) {
    testing::TempDir dir;
    EXPECT_EQ(icon_text_of(dir.join("missing.exe")), "");
}

} // namespace
} // namespace kest::apps
