#include "apps/installed_scan.h"

#include <atomic>
#include <condition_variable>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "apps/app_fixtures.h"
#include "support/scoped_env.h"

namespace kest::apps {
namespace {

using testing::path_of;

TEST(StartMenuRoots, TakesTheProgramsFolderOfEachSetVariableInOrder) {
    testing::ScopedEnv env;
    env.set("ProgramData", "PD");
    env.set("APPDATA", "AD");
    const auto programs = [](std::string base) {
        return path_of(std::move(base), {"Microsoft", "Windows", "Start Menu", "Programs"});
    };
    EXPECT_EQ(start_menu_roots(), (std::vector<std::string>{programs("PD"), programs("AD")}));
    env.set("ProgramData", "");
    EXPECT_EQ(start_menu_roots(), (std::vector<std::string>{programs("AD")}));
    env.set("APPDATA", std::nullopt);
    EXPECT_TRUE(start_menu_roots().empty());
}

// A source that counts its scans and gives a list that needs tidying.
struct CountingSource {
    std::vector<AppEntry> operator()() const {
        ++*scans;
        return {{"zed", "C:\\z.exe", ""}, {"alpha", "C:\\a.exe", ""}, {"dup", "C:\\A.EXE", ""}};
    }
    std::shared_ptr<std::atomic<int>> scans = std::make_shared<std::atomic<int>>(0);
};

TEST(ScanInstalledApps, ScansOnceUntilTheCacheIsReleased) {
    AppCaches caches;
    CountingSource source;
    ::testing::internal::CaptureStderr();
    auto first = scan_installed_apps(caches, source);
    std::string first_log = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].name, "alpha");
    EXPECT_NE(first_log.find("[apps] скан: 2 приложений за "), std::string::npos) << first_log;
    EXPECT_NE(first_log.find(" мс\n"), std::string::npos) << first_log;

    ::testing::internal::CaptureStderr();
    auto second = scan_installed_apps(caches, source);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a cached list is not logged";
    EXPECT_EQ(*source.scans, 1);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[1].exe_path, first[1].exe_path);

    {
        std::lock_guard lock(caches.apps_cache_lock);
        caches.apps_cache.reset();
    }
    ::testing::internal::CaptureStderr();
    (void)scan_installed_apps(caches, source);
    (void)::testing::internal::GetCapturedStderr();
    EXPECT_EQ(*source.scans, 2);
}

TEST(ScanInstalledApps, ACallerThatWaitsForARunningScanTakesItsList) {
    AppCaches caches;
    std::mutex m;
    std::condition_variable cv;
    bool inside = false, release = false;
    std::atomic<int> scans{0};
    AppSource slow = [&] {
        ++scans;
        std::unique_lock lock(m);
        inside = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        return std::vector<AppEntry>{{"only", "C:\\only.exe", ""}};
    };
    ::testing::internal::CaptureStderr();
    std::vector<AppEntry> a, b;
    std::thread first([&] { a = scan_installed_apps(caches, slow); });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return inside; });
    }
    // The first scan holds the scan lock now; the second finds no cache and waits for it.
    std::thread second([&] { b = scan_installed_apps(caches, slow); });
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    first.join();
    second.join();
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(scans, 1);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].exe_path, "C:\\only.exe");
    EXPECT_EQ(log.find("скан:"), log.rfind("скан:")) << "one scan, one summary: " << log;
}

TEST(ScanInstalledApps, AFaultCachesTheEmptyListUntilReleased) {
    AppCaches caches;
    ::testing::internal::CaptureStderr();
    auto list = scan_installed_apps(
        caches, []() -> std::vector<AppEntry> { throw std::runtime_error("registry exploded"); });
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(list.empty());
    EXPECT_NE(log.find("[apps] паника при скане приложений\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[apps] скан: 0 приложений за "), std::string::npos) << log;
    EXPECT_EQ(log.find("exploded"), std::string::npos);
    ASSERT_TRUE(caches.apps_cache);
    EXPECT_TRUE(caches.apps_cache->empty());

    CountingSource source;
    EXPECT_TRUE(scan_installed_apps(caches, source).empty()) << "the empty list is cached";
    caches.apps_cache.reset();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(scan_installed_apps(caches, source).size(), 2u);
    (void)::testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace kest::apps
