#include "text/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kest::text {
namespace {

TEST(FileNameOf, TakesTheTextAfterTheLastSlashOfEitherKind) {
    struct Case {
        std::string path;
        std::string name;
    };
    const Case cases[] = {
        {"C:\\Apps\\x.exe", "x.exe"},
        {"dir/sub/", ""},
        {"name.exe", "name.exe"},
        {"", ""},
        {"a\\b/c", "c"},
        {"a/b\\c", "c"},
        {"C:app.exe", "C:app.exe"}, // a drive's ":" is no separator
        {"\\", ""},
    };
    for (const Case& c : cases) {
        std::string_view name = file_name_of(c.path);
        EXPECT_EQ(name, c.name) << c.path;
        // A view into the argument, so callers can keep it beside the path without a copy.
        EXPECT_EQ(name.data(), c.path.data() + (c.path.size() - name.size())) << c.path;
    }
}

} // namespace
} // namespace kest::text
