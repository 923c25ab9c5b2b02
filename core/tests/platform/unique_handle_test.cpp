#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace kest::platform {
namespace {

// Handles are small numbers; every close is recorded, so a second close of one shows.
std::vector<int> closed;

struct CountingTraits {
    using type = int;
    static int invalid() noexcept { return 0; }
    static void close(int h) noexcept { closed.push_back(h); }
};
using Handle = UniqueHandle<CountingTraits>;

static_assert(!std::is_copy_constructible_v<Handle> && !std::is_copy_assignable_v<Handle>);

TEST(UniqueHandle, EveryHandleIsClosedExactlyOnceWhateverMovesItMakes) {
    closed.clear();
    {
        Handle a(1);
        Handle b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), 1);

        Handle c(2);
        c = std::move(b); // 2 goes, 1 stays owned by c
        EXPECT_EQ(closed, std::vector<int>{2});
        Handle& same = c;
        c = std::move(same);
        EXPECT_EQ(c.get(), 1) << "moving onto itself keeps the handle";

        Handle d(3);
        EXPECT_EQ(d.release(), 3);
        EXPECT_FALSE(d);

        Handle e(4);
        e.reset(5);
        e.reset(); // and an empty owner closes nothing when it goes
        Handle none;
    }
    EXPECT_EQ(closed, (std::vector<int>{2, 4, 5, 1}));
}

} // namespace
} // namespace kest::platform
