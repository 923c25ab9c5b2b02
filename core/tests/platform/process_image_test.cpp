#include "platform/process_image.h"

#include <gtest/gtest.h>

#include "platform/self_path.h"
#include "support/bin_dir.h"
#include "support/child_session.h"

namespace kest::platform {
namespace {

TEST(ProcessImagePath, NamesTheExecutableOfARunningProcess) {
    ImagePathBuffer buffer;
    EXPECT_EQ(process_image_path(current_process_id(), buffer), own_executable_path().value());
    // The same buffer serves the next process.
    testing::ChildSession child(testing::program_path("line_echo"));
    EXPECT_EQ(process_image_path(child.pid(), buffer), testing::program_path("line_echo"));
}

TEST(ProcessImagePath, IsEmptyForAProcessThatDoesNotExist) {
    ImagePathBuffer buffer;
    EXPECT_EQ(process_image_path(0xFFFFFFF0u, buffer), "");
}

} // namespace
} // namespace kest::platform
