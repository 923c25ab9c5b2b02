// Threads started detached, many at once, while others end: each one runs its own function
// with its own arguments, exactly once.
#include "base/detached_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/slow_thread_exits.h"

namespace kest {
namespace {

using kest::testing::SlowThreadExits;

using namespace std::chrono_literals;

// Which of the started threads have run, each with the argument it was given.
struct Runs {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> times_run;

    explicit Runs(std::size_t n) : times_run(n, 0) {}

    void record(std::size_t index) {
        std::lock_guard lock(mutex);
        ++times_run.at(index);
        changed.notify_all();
    }

    // True once every thread has run, false when the time runs out first.
    bool wait_all(std::chrono::seconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [this] {
            for (int n : times_run)
                if (n == 0)
                    return false;
            return true;
        });
    }
};

TEST(StartDetached, EveryThreadRunsOnceWithItsOwnArgumentsThoughThreadsEndWhileOthersStart) {
    constexpr std::size_t kThreads = 800;
    auto runs = std::make_shared<Runs>(kThreads);
    SlowThreadExits slow_exits;
    for (std::size_t i = 0; i < kThreads; ++i) {
        // A move-only argument: the thread's own copy, not a reference into the loop.
        auto index = std::make_unique<std::size_t>(i);
        auto started = start_detached([](std::unique_ptr<std::size_t> mine,
                                         std::shared_ptr<Runs> into) { into->record(*mine); },
                                      std::move(index), runs);
        ASSERT_TRUE(started) << started.error();
        // Some threads end before the next ones start, others while they do.
        if (i % 8 == 0)
            std::this_thread::sleep_for(1ms);
    }
    // The slowed exits take the loader lock in turn: about 2 ms each.
    bool all = runs->wait_all(30s);
    std::lock_guard lock(runs->mutex);
    std::vector<std::size_t> never, twice;
    for (std::size_t i = 0; i < kThreads; ++i) {
        if (runs->times_run[i] == 0)
            never.push_back(i);
        else if (runs->times_run[i] > 1)
            twice.push_back(i);
    }
    EXPECT_TRUE(all);
    EXPECT_TRUE(never.empty()) << never.size() << " threads never ran, the first #" << never[0];
    EXPECT_TRUE(twice.empty()) << twice.size() << " arguments reached more than one run";
}

} // namespace
} // namespace kest
