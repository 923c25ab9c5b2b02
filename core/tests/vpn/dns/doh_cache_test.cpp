#include "vpn/dns/doh_cache.h"

#include <gtest/gtest.h>

#include <thread>

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using Clock = DohCache::Clock;

const Clock::time_point t0 = Clock::time_point() + 1000h;

std::string host(int i) {
    std::string name = std::to_string(i);
    name += ".test";
    return name;
}

TEST(DohCache, AnEntryIsFreshForSixHundredSecondsAndAHitDoesNotRenewIt) {
    DohCache cache;
    cache.store("Vpn.Example", "192.0.2.1", t0);
    EXPECT_EQ(cache.fresh("Vpn.Example", t0), "192.0.2.1");
    EXPECT_EQ(cache.fresh("Vpn.Example", t0 + 300s), "192.0.2.1");
    EXPECT_EQ(cache.fresh("Vpn.Example", t0 + 600s - 1ms), "192.0.2.1");
    EXPECT_EQ(cache.fresh("Vpn.Example", t0 + 600s), std::nullopt);
    // Byte-wise keys: no case folding, no trimming.
    EXPECT_EQ(cache.fresh("vpn.example", t0), std::nullopt);
    EXPECT_EQ(cache.fresh("Vpn.Example.", t0), std::nullopt);
    // Storing again replaces the address and the time.
    cache.store("Vpn.Example", "192.0.2.2", t0 + 500s);
    EXPECT_EQ(cache.fresh("Vpn.Example", t0 + 1000s), "192.0.2.2");
    EXPECT_EQ(cache.size(), 1u);
}

TEST(DohCache, TheSixtyFifthHostEmptiesAFreshCache) {
    DohCache cache;
    for (int i = 0; i < 64; ++i)
        cache.store(host(i), "192.0.2.1", t0 + std::chrono::seconds(i));
    EXPECT_EQ(cache.size(), 64u);
    cache.store("new.test", "192.0.2.2", t0 + 100s);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.fresh("new.test", t0 + 100s), "192.0.2.2");
}

TEST(DohCache, TheSixtyFifthHostRemovesOnlyAgedEntriesWhenThatMakesRoom) {
    DohCache cache;
    for (int i = 0; i < 10; ++i)
        cache.store(host(i), "192.0.2.1", t0);
    for (int i = 10; i < 64; ++i)
        cache.store(host(i), "192.0.2.1", t0 + 100s);
    // At t0 + 600 s the first ten are exactly 600 s old: aged.
    cache.store("new.test", "192.0.2.2", t0 + 600s);
    EXPECT_EQ(cache.size(), 55u);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(cache.holds(host(i))) << i;
    for (int i = 10; i < 64; ++i)
        EXPECT_TRUE(cache.holds(host(i))) << i;
    EXPECT_TRUE(cache.holds("new.test"));
}

TEST(DohCache, AgedEntriesStayUntilTheMapIsFull) {
    DohCache cache;
    cache.store("old.test", "192.0.2.1", t0);
    for (int i = 0; i < 62; ++i)
        cache.store(host(i), "192.0.2.1", t0 + 1000s);
    EXPECT_EQ(cache.size(), 63u);
    cache.store("64th.test", "192.0.2.1", t0 + 1000s);
    EXPECT_TRUE(cache.holds("old.test"));
    EXPECT_EQ(cache.size(), 64u);
    // A full map of which one is aged: that one makes the room.
    cache.store("65th.test", "192.0.2.1", t0 + 1000s);
    EXPECT_FALSE(cache.holds("old.test"));
    EXPECT_EQ(cache.size(), 64u);
}

TEST(DohCache, ManyThreadsStoreAndLookUpWithoutLosingTheBound) {
    DohCache cache;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 200; ++i) {
                cache.store(host(t * 1000 + i), "192.0.2.1", t0 + std::chrono::seconds(i));
                (void)cache.fresh(host(t * 1000 + i / 2), t0 + std::chrono::seconds(i));
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_LE(cache.size(), DohCache::max_entries);
}

} // namespace
} // namespace kest::vpn
