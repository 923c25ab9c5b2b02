#include "text/utf8_lossy.h"

#include <gtest/gtest.h>

namespace kest::text {
namespace {

TEST(ReplaceInvalidUtf8, KeepsWellFormedTextAndReplacesEachBadByte) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"Сетевой адаптер\r\n", "Сетевой адаптер\r\n"},
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xC3", "\xEF\xBF\xBD"},                                 // cut short
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                 // overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
        {std::string("x\0y", 3), std::string("x\0y", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replace_invalid_utf8(c.in), c.out) << c.in;
}

} // namespace
} // namespace kest::text
