#include "apps/app_list_json.h"

#include <gtest/gtest.h>

namespace kest::apps {
namespace {

TEST(AppsToJson, WritesOneObjectPerEntryWithTheIconOnlyWhenThereIsOne) {
    std::vector<AppEntry> list = {
        {"Zed", "C:\\z\\zed.exe", "data:image/png;base64,AAAA"},
        {"Ärger \"quoted\"", "C:\\a\\ä.exe", ""},
        {"", "", ""},
    };
    auto text = json::dump_compact(apps_to_json(list));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "[{\"exe_path\":\"C:\\\\z\\\\zed.exe\",\"icon\":\"data:image/png;base64,AAAA\","
              "\"name\":\"Zed\"},"
              "{\"exe_path\":\"C:\\\\a\\\\ä.exe\",\"name\":\"Ärger \\\"quoted\\\"\"},"
              "{\"exe_path\":\"\",\"name\":\"\"}]");
}

TEST(AppsToJson, AnEmptyListIsAnEmptyArray) {
    EXPECT_EQ(json::dump_compact(apps_to_json({})).value(), "[]");
}

} // namespace
} // namespace kest::apps
