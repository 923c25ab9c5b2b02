#include "vpn/session/command_runners.h"

#include <memory>

#include <gtest/gtest.h>

#include "../controller_support.h"

namespace kest::vpn {
namespace {

TEST(CommandRunners, ConnectAndApplyWithoutATunnelBothRunTheConnectSequence) {
    RecordingSink sink;
    // The product's runners: with no tunnel to reload, Apply is a connect.
    auto controller = std::make_shared<VpnController>(sink.sink(), default_command_runners());
    for (CommandKind kind : {CommandKind::Connect, CommandKind::Apply}) {
        // A link that does not parse ends the sequence before any engine start.
        auto result = submit_command(controller, kind, "not a share link", {});
        ASSERT_TRUE(std::holds_alternative<Failed>(result));
        const VpnError& error = std::get<Failed>(result).error;
        EXPECT_EQ(error.kind, "");
        EXPECT_FALSE(error.message.empty());
        auto events = sink.snapshot();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[events.size() - 2].state, VpnState::Connecting);
        EXPECT_EQ(events.back().msg, "❌ " + error.message);
    }
    EXPECT_EQ(sink.snapshot().size(), 4u);
}

} // namespace
} // namespace kest::vpn
