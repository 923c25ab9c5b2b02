#include "text/white_space.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kest::text {
namespace {

TEST(IsWhiteSpace, HoldsExactlyForTheWhiteSpaceList) {
    const std::set<char32_t> listed = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,
                                       0xA0,   0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                       0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                       0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp)
        ASSERT_EQ(is_white_space(cp), listed.count(cp) == 1) << std::hex << unsigned(cp);
    EXPECT_FALSE(is_white_space(0xFEFF));
    EXPECT_FALSE(is_white_space(0x110000));
}

TEST(TrimWhiteSpace, RemovesUnicodeWhiteSpaceAtBothEnds) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"  a b  ", "a b"},
        {"{\"id\":1}\r\n", "{\"id\":1}"},
        {"\xe3\x80\x80\xc2\xa0x\xe2\x80\xa8\xc2\x85", "x"}, // U+3000 U+00A0 / U+2028 U+0085
        {"\xe2\x80\x8a\xe2\x80\xafx\xe2\x81\x9f\xe1\x9a\x80", "x"},
        {"\xef\xbb\xbfx ", "\xef\xbb\xbfx"}, // U+FEFF is not white space
        {" \xef\xbb\xbf", "\xef\xbb\xbf"},
        {"\x0b\x0cx\x0b\x0c", "x"},
        {"x \x85", "x \x85"}, // a lone continuation byte, not U+0085
        {"\xa0x", "\xa0x"},
        {"x\xe2\x80", "x\xe2\x80"},     // truncated sequence stays
        {"x\xf0\xe3\x80\x80", "x\xf0"}, // U+3000 after an ill-formed byte
        {std::string("\0 ", 2), std::string("\0", 1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trim_white_space(c.input), c.expected) << c.input;
}

TEST(TrimWhiteSpace, ResultViewsTheInput) {
    std::string text = "\xc2\xa0 abc \xe3\x80\x80";
    std::string_view trimmed = trim_white_space(text);
    EXPECT_EQ(trimmed, "abc");
    EXPECT_EQ(trimmed.data(), text.data() + 3);
}

TEST(TrimAsciiWhiteSpace, RemovesOnlyJsonWhiteSpace) {
    EXPECT_EQ(trim_ascii_white_space(" \t\r\n[1] \n"), "[1]");
    EXPECT_EQ(trim_ascii_white_space("\x0b[1]\x0c"), "\x0b[1]\x0c");
    EXPECT_EQ(trim_ascii_white_space("\xc2\xa0[1]"), "\xc2\xa0[1]");
    EXPECT_EQ(trim_ascii_white_space("   "), "");
}

} // namespace
} // namespace kest::text
