#include "platform/env.h"

#include <gtest/gtest.h>

#include "support/env_not_unicode.h"
#include "support/scoped_env.h"

namespace kest::platform {
namespace {

TEST(Environment, AValueThatIsNotUnicodeCountsAsUnsetWhereTextIsAsked) {
    testing::ScopedEnv env;
    env.set("KEST_TEST_VALUE", "warn");
    EXPECT_EQ(get_env_unicode("KEST_TEST_VALUE"), "warn");
    env.set("KEST_TEST_VALUE", "");
    EXPECT_EQ(get_env_unicode("KEST_TEST_VALUE"), "");
    env.set("KEST_TEST_VALUE", std::nullopt);
    EXPECT_EQ(get_env_unicode("KEST_TEST_VALUE"), std::nullopt);

    testing::set_env_not_unicode("KEST_TEST_VALUE");
    EXPECT_EQ(get_env_unicode("KEST_TEST_VALUE"), std::nullopt);
    // Read as it is, with what cannot be read replaced.
    auto raw = get_env("KEST_TEST_VALUE");
    ASSERT_TRUE(raw);
    EXPECT_TRUE(raw->starts_with("warn"));
}

} // namespace
} // namespace kest::platform
