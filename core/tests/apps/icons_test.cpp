#include "apps/icons.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "apps/icon_workers.h"

namespace kest::apps {
namespace {

std::vector<AppEntry> entries(const std::vector<std::string>& paths) {
    std::vector<AppEntry> out;
    for (const std::string& path : paths)
        out.push_back({"name of " + path, path, ""});
    return out;
}

std::vector<std::string> numbered_paths(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back("C:\\apps\\app" + std::to_string(i) + ".exe");
    return out;
}

std::vector<std::string> icons_of(const std::vector<AppEntry>& list) {
    std::vector<std::string> out;
    for (const AppEntry& app : list)
        out.push_back(app.icon);
    return out;
}

// A maker that records its calls and their threads; paths containing "bad" give no icon and
// paths containing "panic" throw.
class RecordingMaker {
public:
    IconMaker maker() {
        return [this](const std::string& path) {
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(path);
                threads_.insert(std::this_thread::get_id());
            }
            if (path.find("panic") != std::string::npos)
                throw std::runtime_error("broken icon");
            if (path.find("bad") != std::string::npos)
                return std::string();
            return "icon:" + path;
        };
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t thread_count() {
        std::lock_guard lock(mutex_);
        return threads_.size();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> calls_;
    std::set<std::thread::id> threads_;
};

TEST(FillIcons, GivesEveryEntryItsOwnIconInListOrder) {
    AppCaches caches;
    RecordingMaker recorder;
    std::vector<std::string> paths = numbered_paths(20);
    paths[4] = "C:\\apps\\bad.exe";
    std::vector<AppEntry> list = fill_icons_with(caches, entries(paths), recorder.maker());
    ASSERT_EQ(list.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(list[i].exe_path, paths[i]);
        EXPECT_EQ(list[i].name, "name of " + paths[i]);
        EXPECT_EQ(list[i].icon, i == 4 ? "" : "icon:" + paths[i]);
    }
    std::vector<std::string> calls = recorder.calls();
    EXPECT_EQ(std::multiset<std::string>(calls.begin(), calls.end()),
              std::multiset<std::string>(paths.begin(), paths.end()))
        << "every path made exactly once";
}

TEST(FillIcons, CachesEveryOutcomeAndMakesNothingTwice) {
    AppCaches caches;
    RecordingMaker recorder;
    // Paths that differ only in letter case are different keys.
    std::vector<std::string> paths = {"C:\\A\\app.exe", "c:\\a\\APP.exe", "C:\\bad.exe",
                                      "C:\\panic.exe"};
    std::vector<AppEntry> first = fill_icons_with(caches, entries(paths), recorder.maker());
    std::vector<std::string> expected = {"icon:C:\\A\\app.exe", "icon:c:\\a\\APP.exe", "", ""};
    EXPECT_EQ(icons_of(first), expected);
    ASSERT_TRUE(caches.icon_cache);
    std::map<std::string, std::string> cached = {
        {paths[0], expected[0]}, {paths[1], expected[1]}, {paths[2], ""}, {paths[3], ""}};
    EXPECT_EQ(*caches.icon_cache, cached);

    // The same list again, repeated and reordered, is answered from the cache alone.
    std::vector<std::string> again = {paths[3], paths[1], paths[2], paths[0], paths[1]};
    std::vector<AppEntry> second = fill_icons_with(caches, entries(again), recorder.maker());
    EXPECT_EQ(icons_of(second),
              (std::vector<std::string>{"", expected[1], "", expected[0], expected[1]}));
    EXPECT_EQ(recorder.calls().size(), 4u);

    // A new path among cached ones: only it is made, and it joins the cache.
    std::vector<AppEntry> third =
        fill_icons_with(caches, entries({paths[0], "C:\\new.exe"}), recorder.maker());
    EXPECT_EQ(icons_of(third), (std::vector<std::string>{expected[0], "icon:C:\\new.exe"}));
    EXPECT_EQ(recorder.calls().back(), "C:\\new.exe");
    EXPECT_EQ(recorder.calls().size(), 5u);
    EXPECT_EQ(caches.icon_cache->size(), 5u);

    // A dropped cache (as the cache release leaves it) makes everything again.
    caches.icon_cache.reset();
    fill_icons_with(caches, entries({paths[0]}), recorder.maker());
    EXPECT_EQ(recorder.calls().size(), 6u);
}

TEST(FillIcons, AnEmptyListOrAFullyCachedOneStartsNoWorker) {
    AppCaches caches;
    RecordingMaker recorder;
    EXPECT_TRUE(fill_icons_with(caches, {}, recorder.maker()).empty());
    EXPECT_FALSE(caches.icon_cache) << "nothing stored, so the cache is still none";
    caches.icon_cache.emplace(std::map<std::string, std::string>{{"C:\\x.exe", "cached"}});
    auto list = fill_icons_with(caches, entries({"C:\\x.exe"}), recorder.maker());
    EXPECT_EQ(list[0].icon, "cached");
    EXPECT_EQ(recorder.thread_count(), 0u);
}

// Holds every maker call until `expected` of them run at once, so that the number of workers
// shows in the number of threads that met there.
class Meeting {
public:
    explicit Meeting(std::size_t expected) : expected_(expected) {}
    IconMaker maker() {
        return [this](const std::string& path) {
            std::unique_lock lock(mutex_);
            threads_.insert(std::this_thread::get_id());
            ++running_;
            most_ = std::max(most_, running_);
            if (running_ >= expected_)
                met_ = true;
            changed_.notify_all();
            // Bounded so that too few workers fail the test instead of hanging it.
            changed_.wait_for(lock, std::chrono::seconds(20), [this] { return met_; });
            --running_;
            return "icon:" + path;
        };
    }
    bool met() {
        std::lock_guard lock(mutex_);
        return met_;
    }
    std::size_t most() {
        std::lock_guard lock(mutex_);
        return most_;
    }
    std::size_t threads() {
        std::lock_guard lock(mutex_);
        return threads_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t expected_;
    std::size_t running_ = 0;
    std::size_t most_ = 0;
    bool met_ = false;
    std::set<std::thread::id> threads_;
};

TEST(FillIcons, RunsOneWorkerPerMissingIconUpToEight) {
    struct Case {
        int missing;
        std::size_t workers;
    };
    for (Case c : {Case{1, 1}, Case{3, 3}, Case{8, 8}, Case{20, 8}}) {
        AppCaches caches;
        Meeting meeting(c.workers);
        std::vector<AppEntry> list =
            fill_icons_with(caches, entries(numbered_paths(c.missing)), meeting.maker());
        EXPECT_TRUE(meeting.met()) << c.missing << " missing: workers never met";
        EXPECT_EQ(meeting.most(), c.workers) << c.missing << " missing";
        EXPECT_EQ(meeting.threads(), c.workers) << c.missing << " missing";
        EXPECT_EQ(list.back().icon, "icon:" + list.back().exe_path);
    }
}

TEST(FillIcons, CallsAtTheSameTimeShareOneCache) {
    AppCaches caches;
    RecordingMaker recorder;
    std::vector<std::string> paths = numbered_paths(30);
    std::vector<std::thread> callers;
    std::vector<std::vector<AppEntry>> results(6);
    for (std::size_t k = 0; k < results.size(); ++k) {
        callers.emplace_back([&, k] {
            // Overlapping windows of the paths, so that calls race on the same keys.
            std::vector<std::string> mine(paths.begin() + k * 3, paths.begin() + k * 3 + 15);
            results[k] = fill_icons_with(caches, entries(mine), recorder.maker());
        });
    }
    for (std::thread& caller : callers)
        caller.join();
    for (std::size_t k = 0; k < results.size(); ++k)
        for (const AppEntry& app : results[k])
            EXPECT_EQ(app.icon, "icon:" + app.exe_path);
    ASSERT_TRUE(caches.icon_cache);
    EXPECT_EQ(caches.icon_cache->size(), 30u);
}

// The lines of a captured log, each without its "HH:MM:SS " time stamp.
std::vector<std::string> unstamped_lines(const std::string& log) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(start, end - start);
        EXPECT_GE(line.size(), 9u) << line;
        out.push_back(line.size() >= 9 ? line.substr(9) : line);
        start = end + 1;
    }
    return out;
}

TEST(IconWorker, ClaimsEachPathOnceAndSurvivesAPanickingIcon) {
    std::vector<std::string> paths = {"C:\\a.exe", "C:\\Program Files\\Редактор\\panic (x64).exe",
                                      "C:\\c.exe"};
    std::atomic<std::size_t> next{0};
    IconResults results;
    RecordingMaker recorder;
    ::testing::internal::CaptureStderr();
    icon_worker(next, paths, results, recorder.maker());
    std::string log = ::testing::internal::GetCapturedStderr();
    // The whole line, the path between its parentheses; the fault's own text stays out.
    EXPECT_EQ(
        unstamped_lines(log),
        std::vector<std::string>{
            "[apps] паника при извлечении значка (C:\\Program Files\\Редактор\\panic (x64).exe)"})
        << log;
    EXPECT_GE(next.load(), paths.size());
    std::map<std::size_t, std::string> by_index(results.items.begin(), results.items.end());
    EXPECT_EQ(by_index, (std::map<std::size_t, std::string>{
                            {0, "icon:C:\\a.exe"}, {1, ""}, {2, "icon:C:\\c.exe"}}));
    EXPECT_EQ(results.items.size(), 3u);
}

} // namespace
} // namespace kest::apps
