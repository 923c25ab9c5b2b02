#include "util/log.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

TEST(LogLine, StampsTwoDigitTimeSpaceTextAndNewline) {
    EXPECT_EQ(format_log_line(9, 5, 3, LogTag::Rpc, "x"), "09:05:03 [rpc] x\n");
    EXPECT_EQ(format_log_line(23, 59, 59, LogTag::Core, ""), "23:59:59 [core] \n");
    EXPECT_EQ(format_log_line(0, 0, 0, LogTag::Vpn, "✅ готово"), "00:00:00 [vpn] ✅ готово\n");
}

TEST(LogLine, EveryTagHasItsBracketedPrefix) {
    EXPECT_EQ(log_prefix(LogTag::Rpc), "[rpc] ");
    EXPECT_EQ(log_prefix(LogTag::Vpn), "[vpn] ");
    EXPECT_EQ(log_prefix(LogTag::Apps), "[apps] ");
    EXPECT_EQ(log_prefix(LogTag::Core), "[core] ");
    EXPECT_EQ(log_prefix(LogTag::Geo), "[geo] ");
    EXPECT_EQ(log_prefix(LogTag::Engine), "[engine] ");
}

} // namespace
} // namespace kest
