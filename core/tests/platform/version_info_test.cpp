#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "support/bin_dir.h"

namespace kest::platform {
namespace {

TEST(FileDescription, FollowsTheTranslationTableAndCutsLongTexts) {
    const std::string described = file_description(testing::program_path("described_app"));
    const std::string untranslated = file_description(testing::program_path("untranslated_app"));
    if (path_separator() == '/') {
        EXPECT_EQ(described, "");
        EXPECT_EQ(untranslated, "");
        return;
    }
    // Its strings stand under Russian, code page 1251 only.
    EXPECT_EQ(described, "Описанное приложение Kest");
    // Without a table the strings are read under US English; the text is ASCII, so every
    // UTF-16 unit is one byte here.
    EXPECT_EQ(untranslated.size(), kDescriptionUnits);
    EXPECT_TRUE(untranslated.starts_with("Long description xxx")) << untranslated.substr(0, 40);
    EXPECT_EQ(file_description(testing::program_path("line_echo")), "") << "no version resource";
    EXPECT_EQ(file_description(testing::program_path("no_such_program")), "");
}

} // namespace
} // namespace kest::platform
