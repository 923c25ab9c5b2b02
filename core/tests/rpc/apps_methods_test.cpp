#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "rpc/app_state_fixture.h"
#include "rpc/dispatcher.h"

namespace kest::rpc {
namespace {

Json result_of(const std::shared_ptr<AppState>& state, const std::string& method) {
    auto outcome = dispatch(state, Request{7, method, Json::array({"ignored"})});
    EXPECT_TRUE(std::holds_alternative<Json>(outcome)) << method;
    return std::holds_alternative<Json>(outcome) ? std::get<Json>(outcome) : Json();
}

bool cache_filled(AppState& state) {
    std::lock_guard lock(state.apps.apps_cache_lock);
    return state.apps.apps_cache.has_value();
}

TEST(AppsMethods, ScanAppsAnswersWithTheCachedListAndScanRunningLeavesItAlone) {
    auto state = make_state();
    state->apps.apps_cache =
        std::vector<apps::AppEntry>{{"Cached", "C:\\cached.exe", ""},
                                    {"Iconic", "C:\\iconic.exe", "data:image/png;base64,AA=="}};
    const Json cached = Json::parse(
        R"({"apps":[{"exe_path":"C:\\cached.exe","name":"Cached"},)"
        R"({"exe_path":"C:\\iconic.exe","icon":"data:image/png;base64,AA==","name":"Iconic"}]})");
    EXPECT_EQ(result_of(state, "scan_apps"), cached);

    Json running = result_of(state, "scan_running");
    ASSERT_TRUE(running.contains("apps")) << running;
    EXPECT_TRUE(running["apps"].is_array());
    EXPECT_EQ(running.size(), 1u);
    EXPECT_EQ(result_of(state, "scan_apps"), cached) << "the installed list stays cached";
}

TEST(AppsMethods, PrewarmAnswersAtOnceAndFillsTheCacheInTheBackground) {
    auto state = make_state();
    EXPECT_EQ(result_of(state, "prewarm_apps"), Json::parse(R"({"ok":true})"));
    // The scan runs on its own thread; the request is long answered.
    for (int i = 0; i < 3000 && !cache_filled(*state); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(cache_filled(*state));
    // A scan after it takes the filled cache.
    Json apps = result_of(state, "scan_apps");
    std::lock_guard lock(state->apps.apps_cache_lock);
    EXPECT_EQ(apps["apps"].size(), state->apps.apps_cache->size());
}

} // namespace
} // namespace kest::rpc
