#include "rpc/dispatcher.h"

#include <gtest/gtest.h>

#include "rpc/app_state_fixture.h"
#include "support/fake_engine.h"

namespace kest::rpc {
namespace {

Json result_of(const std::shared_ptr<AppState>& state, const std::string& method,
               Json params = nullptr) {
    auto outcome = dispatch(state, Request{1, method, std::move(params)});
    EXPECT_TRUE(std::holds_alternative<Json>(outcome)) << method;
    return std::holds_alternative<Json>(outcome) ? std::get<Json>(outcome) : Json();
}

TEST(Dispatch, IsConnectedWhileTheControllerHoldsAnEngineUntilDisconnectStopsIt) {
    auto state = make_state();
    testing::FakeEngine engine(testing::OnClosedInput::Exit);
    auto side = engine.side;
    testing::install_engine(*state->controller, std::move(engine.handle));
    EXPECT_EQ(result_of(state, "is_connected"), Json::parse(R"({"connected":true})"));
    EXPECT_EQ(result_of(state, "disconnect", "ignored"), Json::parse(R"({"ok":true})"));
    EXPECT_TRUE(side->input_closed);
    EXPECT_EQ(result_of(state, "is_connected"), Json::parse(R"({"connected":false})"));
    // Nothing left to stop: the answer is the same.
    EXPECT_EQ(result_of(state, "disconnect"), Json::parse(R"({"ok":true})"));
}

TEST(Dispatch, ReleaseAppsCacheDropsBothCaches) {
    auto state = make_state();
    state->apps.apps_cache = std::vector<apps::AppEntry>(1);
    state->apps.icon_cache = std::map<std::string, std::string>{{"C:\\a.exe", ""}};
    EXPECT_EQ(result_of(state, "release_apps_cache", Json::array({1, 2})),
              Json::parse(R"({"ok":true})"));
    EXPECT_FALSE(state->apps.apps_cache);
    EXPECT_FALSE(state->apps.icon_cache);
}

TEST(Dispatch, PingAndMemstatsIgnoreTheirParameters) {
    auto state = make_state();
    for (Json params : {Json(nullptr), Json("text"), Json::array({1}), Json::object()}) {
        EXPECT_EQ(result_of(state, "ping", params), Json::parse(R"({"ok":true})"));
        Json mem = result_of(state, "memstats", params);
        EXPECT_TRUE(mem["rss"].is_number_unsigned()) << mem;
        EXPECT_EQ(mem["threads"], 0);
    }
}

} // namespace
} // namespace kest::rpc
