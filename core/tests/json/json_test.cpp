#include "json/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kest::json {
namespace {

TEST(DumpCompact, WritesTheLineFormat) {
    struct Case {
        Json value;
        std::string expected;
    };
    const Case cases[] = {
        {Json::object(), "{}"},
        {Json::array(), "[]"},
        {nullptr, "null"},
        {Json{{"b", 1}, {"a", Json::array({true, false, nullptr})}, {"c", Json::object()}},
         R"({"a":[true,false,null],"b":1,"c":{}})"},
        // Keys in byte order: capitals, then small letters, then non-ASCII.
        {Json{{"\xc3\x84", 1}, {"b", 2}, {"B", 3}, {"a", 4}},
         "{\"B\":3,\"a\":4,\"b\":2,\"\xc3\x84\":1}"},
        {std::numeric_limits<std::uint64_t>::max(), "18446744073709551615"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {-7, "-7"},
        {Json{{"id", 5u}, {"result", Json{{"ok", true}}}}, R"({"id":5,"result":{"ok":true}})"},
        {"\"\\/", R"("\"\\/")"},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {std::string("\x00\x01\x0b\x1f", 4), R"("\u0000\u0001\u000b\u001f")"},
        {"\x7f", "\"\x7f\""},
        {"ошибка ✅ 😀 \xe2\x80\xa8\xe2\x80\xa9", "\"ошибка ✅ 😀 \xe2\x80\xa8\xe2\x80\xa9\""},
    };
    for (const auto& c : cases) {
        auto text = dump_compact(c.value);
        ASSERT_TRUE(text) << c.expected;
        EXPECT_EQ(*text, c.expected);
    }
}

TEST(DumpCompact, IllFormedUtf8IsAnErrorNotAnException) {
    const Json values[] = {
        "\xff",
        "ok\xd0",
        Json{{"msg", "\xed\xa0\x80"}},
        Json{{"\xc0\xaf", 1}},
        Json::array({1, "\x80"}),
    };
    for (const Json& value : values) {
        EXPECT_FALSE(dump_compact(value));
        std::string out = "prefix";
        EXPECT_FALSE(append_compact(out, value));
        EXPECT_EQ(out, "prefix");
    }
}

TEST(AppendCompact, AppendsToWhatIsThere) {
    std::string out = "x";
    ASSERT_TRUE(append_compact(out, Json{{"event", "need_restart"}}));
    ASSERT_TRUE(append_compact(out, 1));
    EXPECT_EQ(out, "x{\"event\":\"need_restart\"}1");
}

} // namespace
} // namespace kest::json
