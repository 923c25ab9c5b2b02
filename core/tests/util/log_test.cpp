#include "util/log.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

TEST(LogLine, StampsTwoDigitTimeSpaceTextAndNewline) {
    EXPECT_EQ(format_log_line(9, 5, 3, "[rpc] x"), "09:05:03 [rpc] x\n");
    EXPECT_EQ(format_log_line(23, 59, 59, ""), "23:59:59 \n");
    EXPECT_EQ(format_log_line(0, 0, 0, "[vpn] ✅ готово"), "00:00:00 [vpn] ✅ готово\n");
}

} // namespace
} // namespace kest
