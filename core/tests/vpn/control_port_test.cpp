#include "vpn/control_port.h"

#include <gtest/gtest.h>

#include "platform/net.h"

namespace kest::vpn {
namespace {

TEST(ControlPort, APreferredPortInUseGivesWayToOneTheSystemChooses) {
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
