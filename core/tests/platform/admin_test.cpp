#include "platform/admin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/env.h"
#include "support/wine.h"

namespace kest::platform {
namespace {

TEST(IsAdministrator, AnswersForTheRunningUser) {
    if (testing::running_under_wine()) {
        // Wine's prefix user is a member of the Administrators group.
        EXPECT_TRUE(is_administrator());
        return;
    }
    if (path_separator() == '\\')
        GTEST_SKIP() << "a real Windows user may or may not be an administrator";
    // The effective user id, the second number of the "Uid:" line.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && !line.starts_with("Uid:")) {
    }
    std::istringstream fields(line.substr(4));
    unsigned real = 1, effective = 1;
    fields >> real >> effective;
    EXPECT_EQ(is_administrator(), effective == 0);
}

} // namespace
} // namespace kest::platform
