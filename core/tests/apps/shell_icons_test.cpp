// The icons of real executables, made through the shell: the fixture doubles carry icons of
// known pixels as resources on Windows; elsewhere there are no shell icons at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "apps/icons.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/shell_icon.h"
#include "support/bin_dir.h"
#include "support/icon_fixtures.h"
#include "support/png_reference.h"
#include "support/temp_dir.h"

namespace kest::apps {
namespace {

bool shell_icons_expected() {
    return platform::path_separator() == '\\';
}

std::vector<std::uint8_t> decoded_pixels(const std::string& icon) {
    auto png = testing::png_of_icon_text(icon);
    EXPECT_TRUE(png) << png.error();
    if (!png)
        return {};
    auto decoded = testing::decode_png_reference(*png);
    EXPECT_TRUE(decoded) << decoded.error();
    if (!decoded)
        return {};
    EXPECT_EQ(decoded->width, testing::kFixtureIconSize);
    EXPECT_EQ(decoded->height, testing::kFixtureIconSize);
    return decoded->rgba;
}

TEST(ShellIcons, FixtureIconsComeBackWithTheirPixels) {
    std::string with_alpha = testing::program_path("icon_with_alpha");
    std::string without_alpha = testing::program_path("icon_without_alpha");
    ASSERT_TRUE(platform::file_exists(with_alpha));
    testing::TempDir dir;
    AppCaches caches;
    std::vector<AppEntry> list = fill_icons(caches, {{"with", with_alpha, ""},
                                                     {"without", without_alpha, ""},
                                                     {"none", dir.join("missing.exe"), ""}});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].icon, "");
    ASSERT_TRUE(caches.icon_cache);
    EXPECT_EQ(caches.icon_cache->at(list[2].exe_path), "") << "a missing icon is cached too";
    if (!shell_icons_expected()) {
        EXPECT_EQ(list[0].icon, "");
        EXPECT_EQ(list[1].icon, "");
        return;
    }
    testing::FixturePixels alpha = testing::fixture_icon_pixels(testing::FixtureIcon::WithAlpha);
    EXPECT_EQ(decoded_pixels(list[0].icon), alpha.rgba);

    // Alpha 0 everywhere: the pixels show where the AND mask is clear.
    testing::FixturePixels plain = testing::fixture_icon_pixels(testing::FixtureIcon::WithoutAlpha);
    std::vector<std::uint8_t> expected = plain.rgba;
    for (std::size_t i = 0; i < plain.mask.size(); ++i)
        expected[i * 4 + 3] = plain.mask[i] ? 0 : 255;
    EXPECT_EQ(decoded_pixels(list[1].icon), expected);
}

TEST(ShellIcons, TheShellHandsOverTheColourBitmapAndTheMaskAsTheyAre) {
    if (!shell_icons_expected()) {
        EXPECT_FALSE(platform::large_shell_icon(testing::program_path("icon_with_alpha")));
        return;
    }
    for (auto kind : {testing::FixtureIcon::WithAlpha, testing::FixtureIcon::WithoutAlpha}) {
        bool with_alpha = kind == testing::FixtureIcon::WithAlpha;
        auto icon = platform::large_shell_icon(
            testing::program_path(with_alpha ? "icon_with_alpha" : "icon_without_alpha"));
        ASSERT_TRUE(icon);
        testing::FixturePixels fixture = testing::fixture_icon_pixels(kind);
        EXPECT_EQ(icon->width, testing::kFixtureIconSize);
        EXPECT_EQ(icon->height, testing::kFixtureIconSize);
        EXPECT_EQ(icon->rgba, fixture.rgba) << (with_alpha ? "with alpha" : "without alpha");
        EXPECT_EQ(icon->mask, fixture.mask) << (with_alpha ? "with alpha" : "without alpha");
    }
}

} // namespace
} // namespace kest::apps
