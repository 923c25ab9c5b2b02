#include "util/own_executable.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

TEST(OwnExecutable, MatchesTheThreeStemsInTheRunningFolderOnly) {
    const std::string_view exe = "C:\\P\\Kest Connect\\kestcore.exe";
    struct Case {
        const char* path;
        bool own;
    } cases[] = {
        {"C:\\P\\Kest Connect\\vuvezozire.exe", true},
        {"c:/p/kest connect/KESTCORE.EXE", true},
        {"C:\\P\\Kest Connect\\kest-connect", true},
        {"C:\\P\\Kest Connect/Kest-Connect.Exe", true},
        {"C:\\P\\Kest Connect\\sub\\kestcore.exe", false},
        {"C:\\P\\Kest Connect\\\\kestcore.exe", false},
        {"C:\\P\\Kest Connect\\kestcore.exe.exe", false},
        {"C:\\P\\Kest Connect\\kestcore.bak", false},
        {"C:\\P\\Kest Connect\\other.exe", false},
        {"C:\\P\\.\\Kest Connect\\kestcore.exe", false},
        {"kestcore.exe", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_own_executable_for(c.path, exe), c.own) << c.path;
}

TEST(OwnExecutable, LowercasesBeyondAsciiAndIgnoresTrailingSeparatorsOfTheFolder) {
    EXPECT_TRUE(
        is_own_executable_for("D:\\ПРОГРАММЫ\\vuvezozire.exe", "d:\\программы\\kestcore.exe"));
    EXPECT_TRUE(is_own_executable_for("/opt/kest/kestcore", "/opt/kest//kestcore"));
}

TEST(OwnExecutable, NeedsAKnownRunningExecutableWithAFolder) {
    EXPECT_FALSE(is_own_executable_for("C:\\P\\kestcore.exe", std::nullopt));
    EXPECT_FALSE(is_own_executable_for("kestcore.exe", "kestcore.exe"));
}

} // namespace
} // namespace kest
