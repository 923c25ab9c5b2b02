#include "text/hex.h"

#include <gtest/gtest.h>

namespace kest::text {
namespace {

TEST(Hex, BytesInOrderWithLeadingZerosInEitherCase) {
    const std::uint8_t bytes[] = {0x0A, 0x00, 0xFF, 0x5c};
    EXPECT_EQ(hex_upper(bytes), "0A00FF5C");
    EXPECT_EQ(hex_lower(bytes), "0a00ff5c");
    EXPECT_EQ(hex_upper({}), "");
}

TEST(Hex, NumbersMostSignificantFirstAndPercentEscapes) {
    std::string out;
    append_hex_upper(out, 0x9A4295A5, 8);
    append_hex_upper(out, 0x1, 4);
    EXPECT_EQ(out, "9A4295A50001");
    out.clear();
    for (unsigned char byte : {0x00, 0x2F, 0xD0, 0xFF})
        append_percent_escape(out, byte);
    EXPECT_EQ(out, "%00%2F%D0%FF");
}

} // namespace
} // namespace kest::text
