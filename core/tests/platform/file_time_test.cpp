#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/fs.h"
#include "support/temp_dir.h"

namespace kest::platform {
namespace {

constexpr FileTime second = 10'000'000;
constexpr FileTime day = 86'400 * second;
// 1970-01-01 on the file-time scale, written out independently of the platform code.
constexpr FileTime unix_epoch = 11'644'473'600 * second;

FileTime from_system_clock() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return unix_epoch + std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
}

TEST(FileTime, TheClockAndNewFilesShareTheWindowsScale) {
    FileTime reference = from_system_clock();
    FileTime now = system_time_now();
    EXPECT_LT(std::abs(now - reference), 5 * second);

    testing::TempDir dir;
    std::string path = dir.join("new");
    ASSERT_TRUE(write_file(path, "x"));
    auto written = last_write_time(path);
    ASSERT_TRUE(written) << written.error();
    // File systems may keep coarser stamps than the clock; a few seconds either way is the same
    // moment, an epoch or unit mistake is years off.
    EXPECT_LT(std::abs(*written - system_time_now()), 5 * second);
}

TEST(FileTime, WriteTimesRoundTripToTheTick) {
    testing::TempDir dir;
    std::string path = dir.join("f");
    ASSERT_TRUE(write_file(path, "x"));
    FileTime now = system_time_now();
    const FileTime times[] = {
        now + 365 * day,   // in the future
        now - 7 * day,     // a week old
        now - 7 * day + 1, // one tick younger
        unix_epoch,        // the POSIX epoch itself
        unix_epoch - 1,    // just before it: the tick count must not go negative
        unix_epoch + second - 1,
    };
    for (FileTime t : times) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(set_last_write_time(path, t));
        auto read = last_write_time(path);
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(*read, t);
    }
    EXPECT_EQ(*read_file(path), "x");
}

TEST(FileTime, AFolderHasAWriteTimeAndAMissingPathHasNone) {
    testing::TempDir dir;
    EXPECT_TRUE(last_write_time(dir.path()));
    EXPECT_FALSE(last_write_time(dir.join("missing")));
    EXPECT_FALSE(set_last_write_time(dir.join("missing"), system_time_now()));
    EXPECT_FALSE(last_write_time(dir.join("missing", "below")));
}

} // namespace
} // namespace kest::platform
