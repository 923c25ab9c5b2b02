#include "apps/running_scan.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/self_path.h"

namespace kest::apps {
namespace {

TEST(ScanRunningApps, TidiesTheListAndLeavesTheInstalledCacheAlone) {
    AppCaches caches;
    const std::string self = platform::own_executable_path().value();
    const std::string folder = self.substr(0, self.find_last_of("\\/") + 1);
    auto list = scan_running_apps(caches, [&] {
        return std::vector<AppEntry>{{"zed", "C:\\z.exe", ""},
                                     {"Core", folder + "kestcore.exe", ""},
                                     {"alpha", "C:\\a.exe", ""},
                                     {"zed again", "C:\\Z.EXE", ""}};
    });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "alpha");
    EXPECT_EQ(list[1].name, "zed");
    EXPECT_FALSE(caches.apps_cache);
}

TEST(ScanRunningApps, AFaultWhileListingGivesTheEmptyListAndALogLine) {
    AppCaches caches;
    ::testing::internal::CaptureStderr();
    auto list = scan_running_apps(
        caches, []() -> std::vector<AppEntry> { throw std::runtime_error("snapshot exploded"); });
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(list.empty());
    EXPECT_NE(log.find("[apps] паника при скане запущенных приложений\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("exploded"), std::string::npos) << "the fault's own text stays out";
}

} // namespace
} // namespace kest::apps
