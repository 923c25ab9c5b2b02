#include "rpc/request.h"

#include <gtest/gtest.h>

#include "json/json.h"

namespace kest::rpc {
namespace {

std::string nested_arrays(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(RequestParse, AcceptsObjectAndArrayForms) {
    struct Case {
        std::string line;
        std::uint64_t id;
        std::string method;
        std::string params; // compact form
    } cases[] = {
        {R"({"id":1,"method":"ping"})", 1, "ping", "null"},
        {R"({"method":"ping"})", 0, "ping", "null"},
        {R"({"params":[1],"method":"m","id":3})", 3, "m", "[1]"},
        {R"({"id":1,"method":"ping","x":{"a":[1,2]},"x":5})", 1, "ping", "null"},
        {R"({"id":1,"method":"ping","params":null})", 1, "ping", "null"},
        {R"({"id":18446744073709551615,"method":"ping"})", 18446744073709551615ull, "ping", "null"},
        {R"([7,"ping"])", 7, "ping", "null"},
        {R"([])", 0, "", "null"},
        {R"([5])", 5, "", "null"},
        {R"([2,"geo_update",{"services":["a"]}])", 2, "geo_update", R"({"services":["a"]})"},
        {" \t{\"id\":1,\"method\":\"ping\"}\r\n ", 1, "ping", "null"},
        {R"({"id":1,"method":"\u043f\u0438\u043d\u0433 \ud83d\ude00"})", 1, "пинг 😀", "null"},
    };
    for (const auto& c : cases) {
        auto r = parse_request(c.line);
        ASSERT_TRUE(r) << c.line << ": " << r.error();
        EXPECT_EQ(r->id, c.id) << c.line;
        EXPECT_EQ(r->method, c.method) << c.line;
        EXPECT_EQ(r->params.dump(), c.params) << c.line;
    }
}

TEST(RequestParse, RefusesEveryInvalidFormWithAPositionedDescription) {
    const char* lines[] = {
        R"({"id":1,"id":2,"method":"ping"})",
        R"({"id":1,"method":"a","method":"b"})",
        R"({"id":1,"params":1,"params":2})",
        R"({"id":-1,"method":"ping"})",
        R"({"id":1.5,"method":"ping"})",
        R"({"id":1e2,"method":"ping"})",
        R"({"id":"1","method":"ping"})",
        R"({"id":null,"method":"ping"})",
        R"({"id":18446744073709551616,"method":"ping"})",
        R"({"id":1,"method":null})",
        R"({"id":1,"method":5})",
        R"([1,"ping",null,4])",
        R"("ping")",
        R"(5)",
        R"(null)",
        R"({"id":1,"method":"ping"} x)",
        R"({"id":1,"method":"ping"}{})",
        R"({"id":1,"method":"ping")",
        R"({"id":1,"method":"ping",})",
        R"({id:1})",
        "{\"id\":1,\"method\":\"a\tb\"}",
        R"({"id":1,"method":"\ud800"})",
    };
    for (const char* line : lines) {
        auto r = parse_request(line);
        ASSERT_FALSE(r) << line;
        EXPECT_NE(r.error().find(" at line 1 column "), std::string::npos) << r.error();
    }
}

TEST(RequestParse, ParamsMayNestTo127LevelsAndSkippedValuesAnyDepth) {
    auto with_params = [](const std::string& params) {
        return R"({"id":1,"method":"m","params":)" + params + "}";
    };
    // The request object is level 1, so params holds at most 126 levels.
    EXPECT_TRUE(parse_request(with_params(nested_arrays(126))));
    EXPECT_FALSE(parse_request(with_params(nested_arrays(127))));
    EXPECT_TRUE(parse_request("[1,\"m\"," + nested_arrays(126) + "]"));
    EXPECT_FALSE(parse_request("[1,\"m\"," + nested_arrays(127) + "]"));
    EXPECT_TRUE(parse_request(R"({"id":1,"skip":)" + nested_arrays(100000) + "}"));
}

TEST(RequestLine, StripsLeadingByteOrderMarksThenWhiteSpace) {
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(clean_request_line(bom + bom + "{}\r\n"), "{}");
    EXPECT_EQ(clean_request_line(" " + bom + "{}"), bom + "{}");
    EXPECT_EQ(clean_request_line(bom + " \xC2\xA0{}\xE3\x80\x80"), "{}");
    EXPECT_EQ(clean_request_line(bom + bom), "");
    EXPECT_EQ(clean_request_line(" \t\r\n"), "");
}

} // namespace
} // namespace kest::rpc
