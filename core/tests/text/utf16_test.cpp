#include "text/utf16.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/utf8.h"

namespace kest::text {
namespace {

TEST(ToWideNul, EncodesAndEndsWithOneZeroUnit) {
    EXPECT_EQ(to_wide_nul(""), std::u16string(1, u'\0'));
    EXPECT_EQ(to_wide_nul("aЖ😀"), std::u16string(u"a\u0416\xD83D\xDE00\0", 5));
    EXPECT_EQ(to_wide_nul(std::string_view("a\0b", 3)), std::u16string(u"a\0b\0", 4));
    EXPECT_EQ(to_wide_nul("\xff"), std::u16string(u"\xFFFD\0", 2));
}

TEST(FromWideNul, StopsAtTheFirstZeroOrTheLength) {
    const char16_t five[] = {u'a', u'b', u'c', u'd', u'e'};
    EXPECT_EQ(from_wide_nul(five, 5), "abcde");
    EXPECT_EQ(from_wide_nul(five, 3), "abc");
    const char16_t zero_inside[] = {u'a', 0, u'b'};
    EXPECT_EQ(from_wide_nul(zero_inside, 3), "a");
    EXPECT_EQ(from_wide_nul(nullptr, 4), "");
}

TEST(FromWideNul, UnpairedSurrogatesBecomeReplacementCharacters) {
    struct Case {
        std::u16string units;
        std::string expected;
    };
    const Case cases[] = {
        {{0xD83D, 0xDE00}, "😀"},
        {{0xD800}, "\xef\xbf\xbd"},
        {{0xDC00}, "\xef\xbf\xbd"},
        {{0xD800, u'x'}, "\xef\xbf\xbdx"},
        {{0xDC00, 0xD800}, "\xef\xbf\xbd\xef\xbf\xbd"},
        {{0xD800, 0xD800, 0xDC00}, "\xef\xbf\xbd\xf0\x90\x80\x80"},
        {{0xD800, 0}, "\xef\xbf\xbd"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(from_wide_nul(c.units.data(), c.units.size()), c.expected);
}

TEST(Utf16, RandomTextSurvivesTheRoundTrip) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::uint32_t> plane(0, 3);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            std::uint32_t limits[] = {0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
            char32_t cp =
                std::uniform_int_distribution<std::uint32_t>(1, limits[plane(random)])(random);
            if (cp >= 0xD800 && cp <= 0xDFFF)
                cp = u'?';
            append_utf8(text, cp);
        }
        std::u16string wide = to_wide_nul(text);
        ASSERT_EQ(wide.back(), u'\0');
        ASSERT_EQ(from_wide_nul(wide.data(), wide.size()), text);
    }
}

TEST(IsValidUtf16, EverySurrogateMustBeInAPairHighBeforeLow) {
    struct Case {
        std::u16string units;
        bool valid;
    } cases[] = {
        {u"", true},
        {u"a\u0416", true},
        {std::u16string{0xD83D, 0xDE00}, true},
        {std::u16string{u'a', 0xD800}, false},           // high at the end
        {std::u16string{0xD800, u'a'}, false},           // high before no low
        {std::u16string{0xDC00, 0xD800}, false},         // low first
        {std::u16string{0xD83D, 0xDE00, 0xDE00}, false}, // a low left over
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_valid_utf16(c.units.data(), c.units.size()), c.valid)
            << ::testing::PrintToString(std::vector<int>(c.units.begin(), c.units.end()));
}

} // namespace
} // namespace kest::text
