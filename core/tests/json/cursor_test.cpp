#include "json/cursor.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>

namespace kest::json {
namespace {

// A reader's outcome as one text: the value written out, or "error: " and the message.
template <class T> std::string outcome(const Expected<T>& r) {
    if (!r)
        return "error: " + r.error();
    if constexpr (std::is_same_v<T, std::string>)
        return *r;
    else if constexpr (std::is_same_v<T, Json>)
        return r->dump();
    else
        return std::to_string(*r);
}

struct Case {
    std::string input;
    std::string expected;
};

// Runs read on a fresh cursor over each input and compares the outcome.
template <class Read> void expect_outcomes(std::span<const Case> cases, Read read) {
    for (const auto& c : cases) {
        Cursor cursor(c.input);
        EXPECT_EQ(outcome(read(cursor)), c.expected) << c.input;
    }
}

TEST(Cursor, ReadU64) {
    const Case cases[] = {
        {"0", "0"},
        {" 42 ", "42"},
        {"-0", "0"},
        {"18446744073709551615", "18446744073709551615"},
        {"18446744073709551616", "error: number out of range at line 1 column 20"},
        {"-1", "error: invalid value: integer `-1`, expected u64 at line 1 column 2"},
        {"-99999999999999999999", "error: number out of range at line 1 column 21"},
        {"1.5", "error: invalid type: floating point `1.5`, expected u64 at line 1 column 3"},
        {"1e3", "error: invalid type: floating point `1e3`, expected u64 at line 1 column 3"},
        {"1E+0", "error: invalid type: floating point `1E+0`, expected u64 at line 1 column 4"},
        {"1e999", "error: number out of range at line 1 column 5"},
        {"\"1\"", "error: invalid type: string \"1\", expected u64 at line 1 column 3"},
        {"null", "error: invalid type: null, expected u64 at line 1 column 4"},
        {"true", "error: invalid type: boolean `true`, expected u64 at line 1 column 4"},
        {" [1]", "error: invalid type: sequence, expected u64 at line 1 column 1"},
        {"{}", "error: invalid type: map, expected u64 at line 1 column 0"},
        {"", "error: EOF while parsing a value at line 1 column 0"},
        {"01", "error: invalid number at line 1 column 2"},
        {"-", "error: EOF while parsing a value at line 1 column 1"},
        {"-x", "error: invalid number at line 1 column 2"},
        {"1.", "error: EOF while parsing a value at line 1 column 2"},
        {"1.e5", "error: invalid number at line 1 column 3"},
        {"1e", "error: EOF while parsing a value at line 1 column 2"},
        {"+1", "error: expected value at line 1 column 1"},
        {"nul", "error: EOF while parsing a value at line 1 column 3"},
    };
    expect_outcomes(cases, [](Cursor& c) { return c.read_u64(); });
}

TEST(Cursor, ReadI64) {
    const Case cases[] = {
        {"-9223372036854775808", "-9223372036854775808"},
        {"9223372036854775807", "9223372036854775807"},
        {"-7", "-7"},
        {"9223372036854775808",
         "error: invalid value: integer `9223372036854775808`, expected i64 at line 1 column 19"},
        {"-9223372036854775809", "error: number out of range at line 1 column 20"},
        {"-1.0", "error: invalid type: floating point `-1.0`, expected i64 at line 1 column 4"},
        {"\"x\"", "error: invalid type: string \"x\", expected i64 at line 1 column 3"},
    };
    expect_outcomes(cases, [](Cursor& c) { return c.read_i64(); });
}

TEST(Cursor, ReadBool) {
    Cursor yes(" true");
    EXPECT_EQ(outcome(yes.read_bool()), "1");
    Cursor no("false");
    EXPECT_EQ(outcome(no.read_bool()), "0");
    Cursor null("null");
    EXPECT_EQ(outcome(null.read_bool()),
              "error: invalid type: null, expected a boolean at line 1 column 4");
    Cursor bad("tru");
    EXPECT_EQ(outcome(bad.read_bool()), "error: EOF while parsing a value at line 1 column 3");
    Cursor typo("trve");
    EXPECT_EQ(outcome(typo.read_bool()), "error: expected ident at line 1 column 3");
}

TEST(Cursor, ReadStringDecodesEveryEscape) {
    const Case cases[] = {
        {R"("")", ""},
        {R"("plain text")", "plain text"},
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u0041\u00e9\u0416\u20AC")", "Aé\xd0\x96€"},
        {R"("\ud83d\ude00")", "😀"},
        {R"("\uDBFF\uDFFF")", "\xf4\x8f\xbf\xbf"},
        {"\"ёж 😀 \x7f\"", "ёж 😀 \x7f"},
        {"\"\xef\xbf\xbd\"", "\xef\xbf\xbd"},
    };
    expect_outcomes(cases, [](Cursor& c) { return c.read_string(); });
    Cursor nul(R"("a\u0000b")");
    EXPECT_EQ(outcome(nul.read_string()), std::string("a\0b", 3));
}

TEST(Cursor, ReadStringRefusesMalformedStrings) {
    const Case cases[] = {
        {R"("\ud800")", "error: lone leading surrogate in hex escape at line 1 column 7"},
        {R"("\ud800\u0041")", "error: lone leading surrogate in hex escape at line 1 column 13"},
        {R"("\ud800x")", "error: lone leading surrogate in hex escape at line 1 column 7"},
        {R"("\udc00")", "error: lone trailing surrogate in hex escape at line 1 column 7"},
        {R"("\u12g4")", "error: invalid escape at line 1 column 6"},
        {R"("\u12)", "error: EOF while parsing a string at line 1 column 5"},
        {R"("\x")", "error: invalid escape at line 1 column 3"},
        {"\"a\tb\"",
         "error: control character (\\u0000-\\u001F) found while parsing a string at line "
         "1 column 3"},
        {"\"a\nb\"",
         "error: control character (\\u0000-\\u001F) found while parsing a string at line "
         "2 column 0"},
        {"\"abc", "error: EOF while parsing a string at line 1 column 4"},
        {"\"a\\", "error: EOF while parsing a string at line 1 column 3"},
        {"\"\xff\"", "error: invalid unicode code point at line 1 column 2"},
        {"\"ok\xd0\"", "error: invalid unicode code point at line 1 column 4"},
        {"\"\xed\xa0\x80\"", "error: invalid unicode code point at line 1 column 2"},
        {"5", "error: invalid type: integer `5`, expected a string at line 1 column 1"},
        {"null", "error: invalid type: null, expected a string at line 1 column 4"},
    };
    expect_outcomes(cases, [](Cursor& c) { return c.read_string(); });
}

TEST(Cursor, ReadValueBuildsTrees) {
    const Case cases[] = {
        {R"( {"b":[1,-2,1.5],"a":{"x":null,"y":true}} )",
         R"({"a":{"x":null,"y":true},"b":[1,-2,1.5]})"},
        {R"({"a":1,"a":{"b":2},"a":3})", R"({"a":3})"},
        {"[]", "[]"},
        {"{}", "{}"},
        {"\"\\u00e9\"", "\"é\""},
        {"1e-400", "0.0"},
        {"1e400", "error: number out of range at line 1 column 5"},
        {"[1,{\"a\":tru}]", "error: expected ident at line 1 column 12"},
    };
    expect_outcomes(cases, [](Cursor& c) { return c.read_value(8); });
}

TEST(Cursor, ReadValueKeepsIntegersExactAtThe64BitBoundaries) {
    struct NumberCase {
        const char* input;
        Json::value_t type;
    };
    const NumberCase cases[] = {
        {"0", Json::value_t::number_integer},
        {"-9223372036854775808", Json::value_t::number_integer},
        {"9223372036854775807", Json::value_t::number_integer},
        {"9223372036854775808", Json::value_t::number_unsigned},
        {"18446744073709551615", Json::value_t::number_unsigned},
        {"18446744073709551616", Json::value_t::number_float},
        {"-9223372036854775809", Json::value_t::number_float},
        {"1.0", Json::value_t::number_float},
        {"2E2", Json::value_t::number_float},
    };
    for (const auto& c : cases) {
        Cursor cursor(c.input);
        auto value = cursor.read_value(1);
        ASSERT_TRUE(value) << c.input;
        EXPECT_EQ(value->type(), c.type) << c.input;
        if (c.type != Json::value_t::number_float) {
            EXPECT_EQ(value->dump(), c.input);
        }
    }
    Cursor big("18446744073709551615");
    EXPECT_EQ(big.read_value(1)->get<std::uint64_t>(), 18446744073709551615ull);
}

TEST(Cursor, ReadValueLimitsContainerDepth) {
    auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const std::string three_levels = nested(3);
    Cursor three(three_levels);
    EXPECT_TRUE(three.read_value(3));
    const std::string four_levels = nested(4);
    Cursor four(four_levels);
    EXPECT_EQ(outcome(four.read_value(3)), "error: recursion limit exceeded at line 1 column 4");
    Cursor objects(R"({"a":{"b":{"c":1}}})");
    EXPECT_EQ(outcome(objects.read_value(2)),
              "error: recursion limit exceeded at line 1 column 11");
    Cursor scalar("7");
    EXPECT_TRUE(scalar.read_value(0));
    Cursor empty_array("[]");
    EXPECT_FALSE(empty_array.read_value(0));
}

TEST(Cursor, SyntaxErrorsNameTheFaultAndWhereTheReaderStopped) {
    const Case cases[] = {
        {R"({"a":1 "b":2})", "expected `,` or `}` at line 1 column 8"},
        {R"({"id":1 "method":"ping"})", "expected `,` or `}` at line 1 column 9"},
        {"{1:2}", "key must be a string at line 1 column 2"},
        {R"({"a":1,2:3})", "key must be a string at line 1 column 8"},
        {R"({"a" 1})", "expected `:` at line 1 column 6"},
        {R"({"a":})", "expected value at line 1 column 6"},
        {"{\"a\":1,}", "trailing comma at line 1 column 8"},
        {"[1,]", "trailing comma at line 1 column 4"},
        {"[1 2]", "expected `,` or `]` at line 1 column 4"},
        {"[1,", "EOF while parsing a value at line 1 column 3"},
        {"[1", "EOF while parsing a list at line 1 column 2"},
        {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
        {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
        {"{", "EOF while parsing an object at line 1 column 1"},
        {"[}", "expected value at line 1 column 2"},
        {"nulx", "expected ident at line 1 column 4"},
        {"x", "expected value at line 1 column 1"},
        {"[\n  1,\n  x]", "expected value at line 3 column 3"},
        {"\xef\xbb\xbf{}", "expected value at line 1 column 1"},
    };
    for (const auto& c : cases) {
        Cursor built(c.input);
        EXPECT_EQ(outcome(built.read_value(128)), "error: " + c.expected) << c.input;
        // Skipping reads the same grammar and reports the same faults.
        Cursor skipped(c.input);
        auto r = skipped.skip_value();
        ASSERT_FALSE(r) << c.input;
        EXPECT_EQ(r.error(), c.expected) << c.input;
    }
}

TEST(Cursor, FinishAllowsOnlyJsonWhiteSpace) {
    const Case cases[] = {
        {" \t\r\n1 \t\r\n", ""},
        {R"({"id":1,"method":"ping"} x)", "trailing characters at line 1 column 26"},
        {"[1]\n x", "trailing characters at line 2 column 2"},
        {"1 2", "trailing characters at line 1 column 3"},
        {"1\xc2\xa0", "trailing characters at line 1 column 2"},
        {"1\x0b", "trailing characters at line 1 column 2"},
    };
    for (const auto& c : cases) {
        Cursor cursor(c.input);
        ASSERT_TRUE(cursor.skip_value()) << c.input;
        auto r = cursor.finish();
        EXPECT_EQ(r ? "" : r.error(), c.expected) << c.input;
    }
}

TEST(Cursor, SkipValueHasNoDepthLimit) {
    constexpr std::size_t kDepth = 10'000'000;
    std::string deep = std::string(kDepth, '[') + std::string(kDepth, ']');
    Cursor arrays(deep);
    ASSERT_TRUE(arrays.skip_value());
    EXPECT_TRUE(arrays.finish());

    std::string objects;
    for (int i = 0; i < 100'000; ++i)
        objects += R"({"k":[1,)";
    objects += "null";
    for (int i = 0; i < 100'000; ++i)
        objects += "]}";
    Cursor mixed(objects);
    ASSERT_TRUE(mixed.skip_value());
    EXPECT_TRUE(mixed.finish());

    const std::string open_only(kDepth, '[');
    Cursor unclosed(open_only);
    auto r = unclosed.skip_value();
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error(), "EOF while parsing a list at line 1 column 10000000");
}

TEST(Cursor, ContainersOpenedByHandNest) {
    Cursor cursor(R"( {"a" : [1, [true]], "b":{"c":"d"}, "e":[]} )");
    std::string trace;
    std::string key;
    ASSERT_TRUE(cursor.begin_object());
    while (*cursor.next_key(key)) {
        trace += key + "=";
        if (cursor.peek() == Kind::Object) {
            ASSERT_TRUE(cursor.begin_object());
            while (*cursor.next_key(key))
                trace += key + ":" + *cursor.read_string();
        } else {
            ASSERT_TRUE(cursor.begin_array());
            while (*cursor.next_element()) {
                if (cursor.peek() == Kind::Array) {
                    ASSERT_TRUE(cursor.begin_array());
                    while (*cursor.next_element())
                        trace += *cursor.read_bool() ? "T" : "F";
                } else {
                    trace += std::to_string(*cursor.read_u64());
                }
            }
        }
        trace += ";";
    }
    EXPECT_TRUE(cursor.finish());
    EXPECT_EQ(trace, "a=1T;b=c:d;e=;");

    Cursor wrong("5");
    EXPECT_EQ(wrong.begin_object().error(),
              "invalid type: integer `5`, expected a map at line 1 column 1");
    Cursor list("{}");
    EXPECT_EQ(list.begin_array().error(),
              "invalid type: map, expected a sequence at line 1 column 0");
}

TEST(Cursor, PeekNamesTheNextValue) {
    struct PeekCase {
        const char* input;
        Kind kind;
    };
    const PeekCase cases[] = {
        {" null", Kind::Null}, {"false", Kind::False}, {"true", Kind::True},
        {"-1", Kind::Number},  {"7", Kind::Number},    {"\"s\"", Kind::String},
        {"\n[", Kind::Array},  {"{", Kind::Object},    {" \r\n\t", Kind::End},
        {"x", Kind::Invalid},  {"+1", Kind::Invalid},
    };
    for (const auto& c : cases) {
        Cursor cursor(c.input);
        EXPECT_EQ(cursor.peek(), c.kind) << c.input;
    }
}

TEST(WithoutPosition, DropsOnlyTheTrailingPosition) {
    EXPECT_EQ(without_position("duplicate field `id` at line 1 column 12"), "duplicate field `id`");
    EXPECT_EQ(without_position("invalid type: string \"x at line 1 column 2\", expected u64 at "
                               "line 1 column 25"),
              "invalid type: string \"x at line 1 column 2\", expected u64");
    EXPECT_EQ(without_position("no position"), "no position");
    EXPECT_EQ(without_position("at line x column 1"), "at line x column 1");
}

// Random trees written compactly and read back must come out equal.
Json random_tree(std::mt19937& random, int depth) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    auto random_text = [&] {
        static const char* const kPieces[] = {
            "a",    "Z",    " ",    "\"", "\\", "/", "\n",           "\t",
            "\x01", "\x1f", "\x7f", "ж",  "€",  "😀", "\xe2\x80\xa8", ""};
        std::string s;
        for (int i = pick(6); i > 0; --i)
            s += kPieces[pick(16)];
        return s;
    };
    switch (depth > 0 ? pick(8) : pick(6)) {
    case 0:
        return nullptr;
    case 1:
        return pick(2) == 1;
    case 2:
        return static_cast<std::int64_t>(random()) -
               static_cast<std::int64_t>(random()) * (std::int64_t(1) << 31);
    case 3:
        return std::uint64_t(random()) << 32 | random() | (std::uint64_t(1) << 63);
    case 4:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(random);
    case 5:
        return random_text();
    case 6: {
        Json array = Json::array();
        for (int i = pick(4); i > 0; --i)
            array.push_back(random_tree(random, depth - 1));
        return array;
    }
    default: {
        Json object = Json::object();
        for (int i = pick(4); i > 0; --i)
            object[random_text()] = random_tree(random, depth - 1);
        return object;
    }
    }
}

TEST(Cursor, RandomTreesSurviveTheRoundTrip) {
    std::mt19937 random(8259);
    for (int round = 0; round < 300; ++round) {
        Json tree = random_tree(random, 4);
        auto text = dump_compact(tree);
        ASSERT_TRUE(text);
        Cursor cursor(*text);
        auto back = cursor.read_value(8);
        ASSERT_TRUE(back) << *text << ": " << back.error();
        ASSERT_TRUE(cursor.finish());
        EXPECT_EQ(*back, tree) << *text;
        EXPECT_EQ(*dump_compact(*back), *text);
    }
}

} // namespace
} // namespace kest::json
