#include "text/lowercase.h"

#include <gtest/gtest.h>

namespace kest::text {
namespace {

struct LowerCase {
    const char* input;
    const char* expected;
};

TEST(ToLower, MapsFullUnicodeLowercase) {
    const LowerCase cases[] = {
        {"", ""},
        {"Hello, WORLD 123 ~!", "hello, world 123 ~!"},
        {"ПРИВЕТ Мир ЁЖ", "привет мир ёж"},
        {"ОШИБКА КОНФИГУРАЦИИ", "ошибка конфигурации"},
        {"ÀÉÎÕÜ Ÿ", "àéîõü ÿ"},
        {"ĀāĂ Ǆǅ", "āāă ǆǆ"},                     // alternating pairs; title case folds too
        {"Straße ﬁ", "straße ﬁ"},                 // no lowercase of their own: unchanged
        {"İstanbul", "i\xcc\x87stanbul"},         // U+0130 becomes two code points
        {"\xf0\x90\x90\x80", "\xf0\x90\x90\xa8"}, // U+10400 outside the BMP
        {"KELVIN \xe2\x84\xaa", "kelvin k"},      // U+212A KELVIN SIGN
    };
    for (const auto& c : cases)
        EXPECT_EQ(to_lower(c.input), c.expected) << c.input;
}

TEST(ToLower, CapitalSigmaIsFinalOnlyAtTheEndOfAWord) {
    const LowerCase cases[] = {
        {"ΟΔΟΣ", "οδος"}, {"ΣΑΣ", "σας"},
        {"Σ", "σ"},                         // no cased letter before it
        {" Σ ", " σ "},   {"ΑΣ Β", "ας β"}, // a space ends the word
        {"ΑΣ.", "ας."},                     // a case-ignorable mark before the end
        {"ΑΣ.Β", "ασ.β"},                   // ...but a cased letter follows it
        {"Α'Σ", "α'ς"},                     // ignorable between the letter and the sigma
        {"ΑΣΣ", "ασς"},   {"ΑΣ\xcc\x81", "ας\xcc\x81"}, // combining acute accent is ignorable
        {"1Σ", "1σ"},     {"ΑΣ1", "ας1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(to_lower(c.input), c.expected) << c.input;
}

TEST(ToLower, IllFormedBytesBecomeReplacementCharacters) {
    const LowerCase cases[] = {
        {"A\xff"
         "B",
         "a\xef\xbf\xbd"
         "b"},
        {"\xd0", "\xef\xbf\xbd"}, // truncated sequence
        {"\xd0\x9f\xd0", "п\xef\xbf\xbd"},
        {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},                   // overlong
        {"\xed\xa0\x80Z", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdz"}, // encoded surrogate
        {"\xef\xbf\xbd", "\xef\xbf\xbd"},                           // a real U+FFFD stays
    };
    for (const auto& c : cases)
        EXPECT_EQ(to_lower(c.input), c.expected) << c.input;
}

TEST(ContainsIgnoringCase, ComparesLowercaseFormsAsPlainSubstrings) {
    struct Case {
        const char* haystack;
        const char* needle;
        bool expected;
    };
    const Case cases[] = {
        {"Telegram Desktop", "TELEGRAM", true},
        {"Ошибка Конфигурации движка", "ошибка конфигурации", true},
        {"НЕ ПОДДЕРЖИВАЕТСЯ КЛИЕНТОМ", "не поддерживается клиентом", true},
        {"abc", "", true},
        {"", "a", false},
        {"ab", "abc", false},
        {"İ", "i", true},     // the lowercase form starts with "i"
        {"ΟΣΑ", "ΟΣ", false}, // "ος" with a final sigma is not inside "οσα"
        {"a\xff", "A\xef\xbf\xbd", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(contains_ignoring_case(c.haystack, c.needle), c.expected)
            << c.haystack << " / " << c.needle;
}

} // namespace
} // namespace kest::text
