#include "vpn/session/control_values.h"

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "platform/net.h"
#include "text/hex.h"

namespace kest::vpn {
namespace {

TEST(ControlValues, TheSecretIsSixtyFourLowercaseHexDigitsNewEachTime) {
    const std::array<std::uint8_t, 4> bytes = {0x00, 0x0a, 0xf0, 0xff};
    EXPECT_EQ(text::hex_lower(bytes), "000af0ff");
    std::string a = make_control_secret(), b = make_control_secret();
    EXPECT_EQ(a.size(), 64u);
    EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    })) << a;
    EXPECT_NE(a, b);
}

TEST(ControlValues, APreferredPortInUseGivesWayToOneTheSystemChooses) {
    auto held = platform::listen_loopback(0);
    ASSERT_TRUE(held) << held.error();
    std::uint16_t taken = held->local_port();
    ASSERT_NE(taken, 0);

    std::uint16_t other = choose_control_port(taken);
    EXPECT_NE(other, taken);
    EXPECT_NE(other, 0);
    EXPECT_TRUE(platform::listen_loopback(other)) << "the port chosen is free";

    held->close();
    EXPECT_EQ(choose_control_port(taken), taken);
    // The choice leaves nothing bound behind it.
    EXPECT_TRUE(platform::listen_loopback(taken));
}

} // namespace
} // namespace kest::vpn
