#include "platform/random.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace kest::platform {
namespace {

TEST(FillRandom, FillsEveryByteWithFreshValues) {
    // A large buffer is filled to its end: its last bytes are not all left at zero.
    std::vector<std::uint8_t> big(1 << 20, 0);
    ASSERT_TRUE(fill_random(big));
    std::set<std::uint8_t> tail(big.end() - 64, big.end());
    EXPECT_GT(tail.size(), 8u);

    std::set<std::array<std::uint8_t, 32>> secrets;
    for (int i = 0; i < 16; ++i) {
        std::array<std::uint8_t, 32> secret{};
        ASSERT_TRUE(fill_random(secret));
        secrets.insert(secret);
    }
    EXPECT_EQ(secrets.size(), 16u);
    EXPECT_TRUE(fill_random(std::span<std::uint8_t>()));
}

} // namespace
} // namespace kest::platform
