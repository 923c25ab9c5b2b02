#include "vpn/engine/start_report.h"

#include <gtest/gtest.h>

#include "../log_capture.h"

namespace kest::vpn {
namespace {

TEST(StartReport, ReadsObjectAndArrayFormsWithDefaults) {
    struct Case {
        const char* line;
        bool ok;
        const char* kind;
        const char* error;
    } cases[] = {
        {R"({"ok":true,"kind":"","error":""})", true, "", ""},
        {R"({"ok":false})", false, "", ""},
        {R"({"error":"нет прав администратора","kind":"auth","ok":false})", false, "auth",
         "нет прав администратора"},
        {R"({"kind":"stopped","extra":{"deep":[1,{"x":null}]},"extra":2})", false, "stopped", ""},
        {R"({})", false, "", ""},
        {R"([true,"config","bad"])", true, "config", "bad"},
        {R"([true])", true, "", ""},
        {R"([])", false, "", ""},
        {" \t{\"ok\":true}\r\n", true, "", ""},
    };
    for (const auto& c : cases) {
        auto report = parse_start_report(c.line);
        ASSERT_TRUE(report) << c.line << ": " << report.error();
        EXPECT_EQ(report->ok, c.ok) << c.line;
        EXPECT_EQ(report->kind, c.kind) << c.line;
        EXPECT_EQ(report->error, c.error) << c.line;
    }
}

TEST(StartReport, RefusesRepeatedKeysWrongTypesAndTrailingText) {
    struct Case {
        const char* line;
        const char* error_start;
    } cases[] = {
        {R"({"ok":true,"ok":false})", "duplicate field `ok`"},
        {R"("ok")", "invalid type: string \"ok\", expected struct StartReport"},
        {R"(true)", "invalid type: boolean `true`, expected struct StartReport"},
        {R"(null)", "invalid type: null, expected struct StartReport"},
        {R"({"ok":null})", "invalid type: null"},
        {R"({"ok":1})", "invalid type: integer `1`"},
        {R"({"kind":5})", "invalid type: integer `5`"},
        {R"({"error":null})", "invalid type: null"},
        {R"([true,"a","b",4])", "invalid length 4, expected struct StartReport with 3 elements"},
        {R"({"ok":true} {"ok":false})", "trailing characters"},
        {R"(tunnel up)", "expected ident"},
        {R"()", "EOF while parsing a value"},
    };
    for (const auto& c : cases) {
        auto report = parse_start_report(c.line);
        ASSERT_FALSE(report) << c.line;
        EXPECT_EQ(report.error().rfind(c.error_start, 0), 0u) << c.line << ": " << report.error();
        EXPECT_NE(report.error().find(" at line 1 column "), std::string::npos) << report.error();
    }
}

TEST(WaitStartReport, SkipsBlankLinesAndTakesTheFirstOtherLine) {
    auto [sender, receiver] = Channel<std::string>::make();
    for (const char* line : {"", "   ", " \t\r", "\u3000", R"( {"ok":true,"kind":"x"} )",
                             R"({"ok":false,"kind":"later"})"})
        sender.send(line);
    auto report = wait_start_report(receiver, std::chrono::seconds(5));
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->ok);
    EXPECT_EQ(report->kind, "x");
    EXPECT_EQ(receiver.try_recv(), R"({"ok":false,"kind":"later"})") << "later lines stay queued";
}

TEST(WaitStartReport, AnUndecodableFirstLineEndsTheWaitWithOneLogLine) {
    auto [sender, receiver] = Channel<std::string>::make();
    sender.send("");
    sender.send("  tunnel up  ");
    sender.send(R"({"ok":true})");
    LogCapture log;
    EXPECT_FALSE(wait_start_report(receiver, std::chrono::seconds(5)));
    EXPECT_EQ(log.lines_ending_with(
                  "[vpn] движок отдал неразборчивый отчёт (expected ident at line 1 column 2): "
                  "tunnel up"),
              1u)
        << log.finish();
    EXPECT_EQ(receiver.try_recv(), R"({"ok":true})") << "nothing is waited for after it";
}

TEST(WaitStartReport, NoneAtTheDeadlineOrWhenTheEngineOutputEnds) {
    auto [sender, receiver] = Channel<std::string>::make();
    sender.send(" ");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(wait_start_report(receiver, std::chrono::milliseconds(200)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

    sender.send("");
    sender.reset();
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(wait_start_report(receiver, std::chrono::seconds(60)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
        << "an ended channel is not waited on";
}

} // namespace
} // namespace kest::vpn
