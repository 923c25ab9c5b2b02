#include <gtest/gtest.h>

#include "platform/net.h"
#include "rpc/dispatcher.h"
#include "support/bin_dir.h"
#include "support/child_session.h"
#include "support/fake_engine.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "util/write_atomic.h"

namespace kest::rpc {
namespace {

using namespace std::chrono_literals;

const Json kZero = Json::parse(R"({"down":0,"ok":false,"up":0})");

std::shared_ptr<AppState> make_state() {
    auto controller = std::make_shared<vpn::VpnController>(
        vpn::StatusSink{[](vpn::VpnState, const std::string&) {}, [] {}});
    return std::make_shared<AppState>(controller);
}

Json traffic(const std::shared_ptr<AppState>& state) {
    auto outcome = dispatch(state, Request{1, "traffic", nullptr});
    return std::get<Json>(outcome);
}

// The engine double serving its control interface on a free port with the secret "s3cret".
class TrafficFromEngine : public ::testing::Test {
protected:
    void start_engine(const std::optional<std::string>& body,
                      const std::optional<std::string>& pad = std::nullopt) {
        env_.set("KEST_DOUBLE_CONNECTIONS_BODY", body);
        env_.set("KEST_DOUBLE_CONNECTIONS_PAD", pad);
        port_ = *platform::free_loopback_port();
        std::string config = dir_.join("vpn_config.json");
        Json doc = {{"experimental",
                     {{"clash_api",
                       {{"external_controller", "127.0.0.1:" + std::to_string(port_)},
                        {"secret", "s3cret"}}}}}};
        ASSERT_TRUE(write_atomic(config, doc.dump()));
        engine_ = std::make_unique<testing::ChildSession>(testing::program_path("vuvezozire"),
                                                          std::vector<std::string>{config});
        auto report = engine_->next_line(20s);
        ASSERT_TRUE(report);
        ASSERT_EQ(Json::parse(*report)["ok"], true) << *report;
    }

    void use_session(const std::string& secret, std::uint16_t port) {
        testing::install_engine(*state_->controller, vpn::EngineHandle{}, secret, port);
    }

    std::shared_ptr<AppState> state_ = make_state();
    testing::TempDir dir_;
    testing::ScopedEnv env_;
    std::uint16_t port_ = 0;
    std::unique_ptr<testing::ChildSession> engine_;
};

TEST_F(TrafficFromEngine, NoSessionGivesTheZeroResultWithoutARequest) {
    EXPECT_EQ(traffic(state_), kZero);
    use_session("", 1); // a session without a secret asks nothing either
    EXPECT_EQ(traffic(state_), kZero);
}

TEST_F(TrafficFromEngine, ReadsTheTotalsOfTheEngine) {
    start_engine(R"({"uploadTotal":5,"x":[1]})");
    use_session("s3cret", port_);
    EXPECT_EQ(traffic(state_), Json::parse(R"({"down":0,"ok":true,"up":5})"));
}

TEST_F(TrafficFromEngine, KeepsTheSignAndBothTotals) {
    start_engine(R"({"downloadTotal":9007199254740993,"uploadTotal":-1,"connections":[]})");
    use_session("s3cret", port_);
    EXPECT_EQ(traffic(state_).dump(), R"({"down":9007199254740993,"ok":true,"up":-1})");
}

TEST_F(TrafficFromEngine, EveryFailureIsTheZeroResult) {
    start_engine(R"({"uploadTotal":5} and more)");
    use_session("s3cret", port_);
    EXPECT_EQ(traffic(state_), kZero) << "trailing text";
    use_session("wrong", port_);
    EXPECT_EQ(traffic(state_), kZero) << "wrong secret";
    auto dead = platform::free_loopback_port();
    use_session("s3cret", *dead);
    EXPECT_EQ(traffic(state_), kZero) << "dead port";
}

TEST_F(TrafficFromEngine, ABodyOver10MiBIsRefused) {
    start_engine(R"({"uploadTotal":5})", std::to_string(10 * 1024 * 1024 + 1));
    use_session("s3cret", port_);
    EXPECT_EQ(traffic(state_), kZero);
}

TEST_F(TrafficFromEngine, ABodyOfExactly10MiBIsRead) {
    start_engine(R"({"uploadTotal":5})", std::to_string(10 * 1024 * 1024));
    use_session("s3cret", port_);
    EXPECT_EQ(traffic(state_), Json::parse(R"({"down":0,"ok":true,"up":5})"));
}

} // namespace
} // namespace kest::rpc
