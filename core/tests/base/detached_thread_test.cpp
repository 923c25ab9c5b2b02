// Threads started detached, many at once and from several threads, while others end: each one
// runs its own function with its own arguments, exactly once.
#include "base/detached_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/slow_thread_exits.h"

namespace kest {
namespace {

using kest::testing::SlowThreadExits;

using namespace std::chrono_literals;

// Which of the started threads have run, each with the argument it was given.
struct Runs {
    std::vector<std::atomic<int>> times_run;
    std::atomic<std::size_t> distinct{0};

    explicit Runs(std::size_t n) : times_run(n) {}

    void record(std::size_t index) {
        if (times_run.at(index).fetch_add(1) == 0)
            distinct.fetch_add(1);
    }
};

// Returns once every thread has run, or once none that has not can any more: where the system
// tells, as soon as all the threads started meanwhile (`started` or more) have ended; elsewhere,
// or if one is stuck, once nothing has happened for `quiet`. A thread that lost its function
// never runs, so a fault ends the wait with the last thread's end rather than at a fixed limit.
void wait_for_runs(const Runs& runs, const SlowThreadExits& exits, std::size_t started,
                   std::chrono::milliseconds quiet) {
    auto progress = [&] { return std::pair(runs.distinct.load(), exits.threads()); };
    auto seen = progress();
    auto since = std::chrono::steady_clock::now();
    while (seen.first < runs.times_run.size() && std::chrono::steady_clock::now() - since < quiet) {
        if (seen.second && seen.second->started >= started &&
            seen.second->ended == seen.second->started)
            return;
        std::this_thread::sleep_for(5ms);
        if (auto now = progress(); now != seen) {
            seen = now;
            since = std::chrono::steady_clock::now();
        }
    }
}

TEST(StartDetached, EveryThreadRunsOnceWithItsOwnArgumentsThoughThreadsEndWhileOthersStart) {
    // More starters than cores: a starter that has just started a thread is often not running
    // again until that thread has ended, which is when a detach after the start comes too late.
    // With one starter the detach nearly always comes first.
    const std::size_t starters = std::clamp(2 * std::thread::hardware_concurrency(), 8u, 32u);
    const std::size_t each = 320 / starters;
    auto runs = std::make_shared<Runs>(starters * each);
    std::vector<std::string> refused(starters);
    SlowThreadExits slow_exits;
    std::vector<std::thread> starting;
    for (std::size_t s = 0; s < starters; ++s)
        starting.emplace_back([&, s] {
            for (std::size_t i = s * each; i < (s + 1) * each; ++i) {
                // A move-only argument: the thread's own copy, not a reference into the loop.
                auto index = std::make_unique<std::size_t>(i);
                auto started =
                    start_detached([](std::unique_ptr<std::size_t> mine,
                                      std::shared_ptr<Runs> into) { into->record(*mine); },
                                   std::move(index), runs);
                if (!started) {
                    refused[s] = started.error();
                    return;
                }
            }
        });
    for (auto& starter : starting)
        starter.join();
    for (const auto& error : refused)
        EXPECT_EQ(error, "") << "a thread was refused";
    // The starters count too: they have ended by now.
    wait_for_runs(*runs, slow_exits, starters * each + starters, 5s);
    std::vector<std::size_t> never, twice;
    for (std::size_t i = 0; i < runs->times_run.size(); ++i) {
        int n = runs->times_run[i].load();
        if (n == 0)
            never.push_back(i);
        else if (n > 1)
            twice.push_back(i);
    }
    EXPECT_TRUE(never.empty()) << never.size() << " threads never ran, the first #" << never[0];
    EXPECT_TRUE(twice.empty()) << twice.size() << " arguments reached more than one run";
}

} // namespace
} // namespace kest
