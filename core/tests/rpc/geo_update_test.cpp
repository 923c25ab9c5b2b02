#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "rpc/dispatcher.h"
#include "support/proxy_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "text/path_text.h"
#include "util/write_atomic.h"

namespace kest::rpc {
namespace {

constexpr platform::FileTime day = 864'000'000'000;

std::shared_ptr<AppState> make_state() {
    auto controller = std::make_shared<vpn::VpnController>(
        vpn::StatusSink{[](vpn::VpnState, const std::string&) {}, [] {}});
    return std::make_shared<AppState>(controller);
}

// "geo_update" as the front end sends it, against the public mirrors. Every proxy variable
// points at a local proxy that refuses anything beyond this machine, so no request leaves
// it, and the proxy's connection count shows whether a download was attempted at all.
class GeoUpdateMethod : public ::testing::Test {
protected:
    GeoUpdateMethod() {
        for (const char* name :
             {"ALL_PROXY", "all_proxy", "HTTPS_PROXY", "https_proxy", "HTTP_PROXY", "http_proxy"})
            env_.set(name, proxy_.address());
        env_.set("NO_PROXY", std::nullopt);
        env_.set("no_proxy", std::nullopt);
        env_.set("APPDATA", dir_.path());
    }

    std::string geo_file(std::string_view name) const {
        return text::join_path(dir_.join("Kest Connect", "geo"), name, platform::path_separator());
    }
    void write_rule_set(std::string_view name, platform::FileTime age) {
        ASSERT_TRUE(write_atomic(geo_file(name), "SRS old"));
        ASSERT_TRUE(
            platform::set_last_write_time(geo_file(name), platform::system_time_now() - age));
    }

    Json geo_update(Json params) {
        auto outcome = dispatch(state_, Request{7, "geo_update", std::move(params)});
        EXPECT_TRUE(std::holds_alternative<Json>(outcome));
        return std::holds_alternative<Json>(outcome) ? std::get<Json>(outcome) : Json();
    }

    std::shared_ptr<AppState> state_ = make_state();
    testing::ProxyServer proxy_;
    testing::TempDir dir_;
    testing::ScopedEnv env_;
};

TEST_F(GeoUpdateMethod, FreshFilesAnswerNotUpdatedWithoutAnyDownload) {
    write_rule_set("geosite-category-ru.srs", 0);
    write_rule_set("geoip-ru.srs", 6 * day);
    write_rule_set("geosite-telegram.srs", 0);
    for (Json params : {Json(nullptr), Json(3), Json::parse(R"({"services":["telegram"]})"),
                        Json::parse(R"([["telegram","Bad.Name"]])")})
        EXPECT_EQ(geo_update(params), Json::parse(R"({"updated":false})")) << params;
    EXPECT_EQ(proxy_.connections(), 0);
}

TEST_F(GeoUpdateMethod, FailedDownloadsAnswerNotUpdatedAndKeepTheStaleFile) {
    write_rule_set("geoip-ru.srs", 8 * day);
    write_rule_set("geosite-category-ru.srs", 0);
    EXPECT_EQ(geo_update(nullptr), Json::parse(R"({"updated":false})"));
    // Both mirrors were tried, through the proxy the environment names.
    EXPECT_EQ(proxy_.connections(), 2);
    EXPECT_EQ(*platform::read_file(geo_file("geoip-ru.srs")), "SRS old");
}

TEST_F(GeoUpdateMethod, AFolderThatCannotBeCreatedAnswersNotUpdated) {
    std::string not_a_folder = dir_.join("file");
    ASSERT_TRUE(platform::write_file(not_a_folder, "x"));
    env_.set("APPDATA", not_a_folder);
    EXPECT_EQ(geo_update(Json::parse(R"({"services":["telegram"]})")),
              Json::parse(R"({"updated":false})"));
    EXPECT_EQ(proxy_.connections(), 0);
}

} // namespace
} // namespace kest::rpc
