#include "json/record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kest::json {
namespace {

// A record shaped like a request line: the record is level 1 and levels up to 127 are taken,
// so its free-form member gets 126 levels of its own; values under unknown keys are only
// skipped and have no limit.
struct Req {
    std::uint64_t id = 0;
    std::string method;
    Json params;
};

Expected<Req> parse_req(std::string_view text) {
    Req req;
    const Field fields[] = {
        field("id", req.id),
        field("method", req.method),
        field("params", req.params, 126),
    };
    if (auto r = decode_record_text(text, "struct Request", fields); !r)
        return unexpected(r.error());
    return req;
}

std::string describe(const Expected<Req>& r) {
    if (!r)
        return "error: " + r.error();
    return std::to_string(r->id) + " " + r->method + " " + r->params.dump();
}

struct Case {
    std::string input;
    std::string expected;
};

TEST(DecodeRecord, AcceptsTheObjectAndArrayForms) {
    const Case cases[] = {
        {R"({"id":1,"method":"ping"})", "1 ping null"},
        {R"({"method":"ping"})", "0 ping null"},
        {R"({"params":{"b":[1]},"method":"m","id":18446744073709551615})",
         R"(18446744073709551615 m {"b":[1]})"},
        {R"({"id":1,"method":"ping","x":{"a":[1,2]}})", "1 ping null"},
        {R"({"x":1,"x":[2],"ID":"no","id":3,"Method":null})", "3  null"},
        {R"({"params":null,"id":2})", "2  null"},
        {R"({})", "0  null"},
        {" \t{\"id\" : 4 , \"method\" : \"a\" }\r\n", "4 a null"},
        {"[7,\"ping\"]", "7 ping null"},
        {"[]", "0  null"},
        {"[5]", "5  null"},
        {R"([1,"m",{"k":"v"}])", R"(1 m {"k":"v"})"},
        {R"({"params":{"a":1,"a":2}})", R"(0  {"a":2})"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(parse_req(c.input)), c.expected) << c.input;
}

TEST(DecodeRecord, RefusesWhatDoesNotFit) {
    const Case cases[] = {
        {R"({"id":1,"id":2,"method":"ping"})", "duplicate field `id` at line 1 column 12"},
        {R"({"params":1,"method":"a","params":2})", "duplicate field `params` at line 1 column 33"},
        {R"({"params":null,"params":null})", "duplicate field `params` at line 1 column 23"},
        {R"({"id":-1,"method":"ping"})",
         "invalid value: integer `-1`, expected u64 at line 1 column 8"},
        {R"({"id":1.5,"method":"ping"})",
         "invalid type: floating point `1.5`, expected u64 at line 1 column 9"},
        {R"({"id":"1","method":"ping"})",
         "invalid type: string \"1\", expected u64 at line 1 column 9"},
        {R"({"id":null})", "invalid type: null, expected u64 at line 1 column 10"},
        {R"({"id":1,"method":null})", "invalid type: null, expected a string at line 1 column 21"},
        {R"([1,"ping",null,4])",
         "invalid length 4, expected struct Request with 3 elements at line 1 column 17"},
        {R"([1,"ping",null,4,[5]])",
         "invalid length 5, expected struct Request with 3 elements at line 1 column 21"},
        {R"(["1"])", "invalid type: string \"1\", expected u64 at line 1 column 4"},
        {R"("ping")", "invalid type: string \"ping\", expected struct Request at line 1 column 6"},
        {"5", "invalid type: integer `5`, expected struct Request at line 1 column 1"},
        {"null", "invalid type: null, expected struct Request at line 1 column 4"},
        {"false", "invalid type: boolean `false`, expected struct Request at line 1 column 5"},
        {"", "EOF while parsing a value at line 1 column 0"},
        {R"({"id":1,"method":"ping"} x)", "trailing characters at line 1 column 26"},
        {R"({"id":1,"method":"ping"}{})", "trailing characters at line 1 column 25"},
        {R"({"x":[1,}],"id":1})", "expected value at line 1 column 9"},
        {R"({"id":1)", "EOF while parsing an object at line 1 column 7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(parse_req(c.input)), "error: " + c.expected) << c.input;
}

// The request is level 1 and levels up to 127 are accepted.
TEST(DecodeRecord, RequestDepthStopsAfterLevel127) {
    auto nested = [](int levels) {
        std::string s;
        for (int i = 0; i < levels; ++i)
            s += i % 2 ? "{\"k\":" : "[";
        s += "0";
        for (int i = levels - 1; i >= 0; --i)
            s += i % 2 ? "}" : "]";
        return s;
    };
    const std::string ok_object = "{\"params\":" + nested(126) + "}";
    EXPECT_TRUE(parse_req(ok_object)) << parse_req(ok_object).error();
    const std::string ok_array = "[1,\"m\"," + nested(126) + "]";
    EXPECT_TRUE(parse_req(ok_array));

    // The 127th bracket under params sits at column 11 + 63 * 6 + 1 (five bytes per opened
    // object, one per opened array).
    const std::string deep_object = "{\"params\":" + nested(127) + "}";
    EXPECT_EQ(describe(parse_req(deep_object)),
              "error: recursion limit exceeded at line 1 column " +
                  std::to_string(10 + 63 * 6 + 1));
    const std::string deep_array = "[1,\"m\"," + nested(127) + "]";
    EXPECT_FALSE(parse_req(deep_array));

    // Skipped keys have no depth limit at all.
    const std::string skipped = "{\"x\":" + nested(1'000'000) + ",\"method\":\"ping\"}";
    EXPECT_EQ(describe(parse_req(skipped)), "0 ping null");
    const std::string skipped_twice = "{\"x\":" + nested(1'000) + ",\"x\":" + nested(500) + "}";
    EXPECT_TRUE(parse_req(skipped_twice));
}

struct Report {
    bool ok = false;
    std::string kind;
    std::string error;
};

Expected<Report> parse_report(std::string_view text) {
    Report report;
    const Field fields[] = {
        field("ok", report.ok),
        field("kind", report.kind),
        field("error", report.error),
    };
    if (auto r = decode_record_text(text, "struct StartReport", fields); !r)
        return unexpected(r.error());
    return report;
}

TEST(DecodeRecord, FieldReadersDecideTheTypes) {
    auto report = parse_report(R"( [false, "config", "плохой конфиг"] )");
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->ok);
    EXPECT_EQ(report->kind, "config");
    EXPECT_EQ(report->error, "плохой конфиг");

    report = parse_report(R"({"error":"","extra":{"deep":[[]]},"ok":true})");
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->ok);
    EXPECT_EQ(report->kind, "");

    EXPECT_EQ(parse_report(R"({"ok":null})").error(),
              "invalid type: null, expected a boolean at line 1 column 10");
    EXPECT_EQ(parse_report(R"({"ok":true,"ok":false})").error(),
              "duplicate field `ok` at line 1 column 15");
    EXPECT_EQ(parse_report(R"("x")").error(),
              "invalid type: string \"x\", expected struct StartReport at line 1 column 3");

    std::int64_t up = 0, down = 0;
    const Field totals[] = {
        field("uploadTotal", up),
        field("downloadTotal", down),
    };
    ASSERT_TRUE(decode_record_text(R"({"downloadTotal":-7,"connections":[{"id":"a"}],
                                       "uploadTotal":9223372036854775807})",
                                   "struct Totals", totals));
    EXPECT_EQ(up, 9223372036854775807);
    EXPECT_EQ(down, -7);
    EXPECT_EQ(decode_record_text("[1,2,3]", "struct Totals", totals).error(),
              "invalid length 3, expected struct Totals with 2 elements at line 1 column 7");
    const Field one[] = {field("a", up)};
    EXPECT_EQ(decode_record_text("[1,2]", "struct One", one).error(),
              "invalid length 2, expected struct One with 1 element at line 1 column 5");
}

TEST(DecodeRecord, RecordsNestInListsAndValuesAlreadyParsed) {
    struct App {
        std::string name;
        std::string exe_path;
    };
    std::vector<App> apps;
    std::vector<std::string> sites;
    const Field params[] = {
        {"apps",
         [&apps](Cursor& c) {
             return read_array(c, [&apps](Cursor& element) {
                 App app;
                 const Field fields[] = {
                     field("name", app.name),
                     field("exe_path", app.exe_path),
                 };
                 auto r = decode_record(element, "struct RoutingApp", fields);
                 apps.push_back(app);
                 return r;
             });
         }},
        field("sites", sites),
    };

    Json value = Json::parse(R"({"apps":[{"exe_path":"C:\\a.exe"},["n","D:/b.exe"]],
                                 "sites":["x.com","ютуб"]})");
    ASSERT_TRUE(decode_record_value(value, "struct ConnectParams", params));
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].exe_path, "C:\\a.exe");
    EXPECT_EQ(apps[1].name, "n");
    EXPECT_EQ(apps[1].exe_path, "D:/b.exe");
    EXPECT_EQ(sites, (std::vector<std::string>{"x.com", "ютуб"}));

    // Errors of an already parsed value carry no position.
    const Case failures[] = {
        {"5", "invalid type: integer `5`, expected struct ConnectParams"},
        {"null", "invalid type: null, expected struct ConnectParams"},
        {R"({"sites":"x"})", "invalid type: string \"x\", expected a sequence"},
        {R"({"sites":[1]})", "invalid type: integer `1`, expected a string"},
        {R"({"apps":[7]})", "invalid type: integer `7`, expected struct RoutingApp"},
        {R"({"apps":[["a","b","c"]]})",
         "invalid length 3, expected struct RoutingApp with 2 elements"},
        {R"([[],[],false])", "invalid length 3, expected struct ConnectParams with 2 elements"},
    };
    for (const auto& c : failures) {
        auto r = decode_record_value(Json::parse(c.input), "struct ConnectParams", params);
        ASSERT_FALSE(r) << c.input;
        EXPECT_EQ(r.error(), c.expected) << c.input;
    }
    EXPECT_FALSE(decode_record_value(Json("\xff"), "struct ConnectParams", params));
}

} // namespace
} // namespace kest::json
