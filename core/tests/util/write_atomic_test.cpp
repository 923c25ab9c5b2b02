#include "util/write_atomic.h"

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/temp_dir.h"

namespace kest {
namespace {

using testing::TempDir;

TEST(WriteAtomic, CreatesMissingParentsAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string target = dir.join("a", "b") + "/vpn_config.json";
    ASSERT_TRUE(write_atomic(target, "{\"x\":1}"));
    EXPECT_EQ(*platform::read_file(target), "{\"x\":1}");
    EXPECT_FALSE(platform::file_exists(target + ".tmp"));
}

TEST(WriteAtomic, ReplacesContentAndWritesEmptyFiles) {
    TempDir dir;
    std::string target = dir.join("f.srs");
    ASSERT_TRUE(write_atomic(target, "a long first content"));
    ASSERT_TRUE(write_atomic(target, "short"));
    EXPECT_EQ(*platform::read_file(target), "short");
    ASSERT_TRUE(write_atomic(target, ""));
    EXPECT_TRUE(platform::is_regular_file(target));
    EXPECT_EQ(*platform::read_file(target), "");
    EXPECT_FALSE(platform::file_exists(target + ".tmp"));
}

TEST(WriteAtomic, FailsWhenAParentCannotBeCreatedAndKeepsTheOldFile) {
    TempDir dir;
    std::string blocker = dir.join("file");
    ASSERT_TRUE(write_atomic(blocker, "old"));
    auto result = write_atomic(blocker + "/sub/target.json", "new");
    ASSERT_FALSE(result);
    EXPECT_FALSE(result.error().empty());
    EXPECT_EQ(*platform::read_file(blocker), "old");
}

TEST(WriteAtomic, FailedRenameRemovesTheTemporaryFile) {
    TempDir dir;
    // A folder in the target's place cannot be replaced by a file.
    std::string target = dir.join("occupied");
    ASSERT_TRUE(platform::create_directories(dir.join("occupied", "inner")));
    auto result = write_atomic(target, "x");
    ASSERT_FALSE(result);
    EXPECT_FALSE(platform::file_exists(target + ".tmp"));
}

} // namespace
} // namespace kest
