#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace kest::platform {
namespace {

TEST(CommandLine, QuotesOnlyWhatTheSplitterWouldBreak) {
    struct Case {
        const char* arg;
        const char* quoted;
    } cases[] = {
        {"plain", "plain"},
        {"", R"("")"},
        {R"(C:\P\vpn_config.json)", R"(C:\P\vpn_config.json)"},
        {R"(C:\P\Kest Connect\vpn_config.json)", R"("C:\P\Kest Connect\vpn_config.json")"},
        {"tab\there", "\"tab\there\""},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(a\"b)", R"("a\\\"b")"},
        {R"(trailing\ back\)", R"("trailing\ back\\")"},
        {R"(C:\Kest Connect\\)", R"("C:\Kest Connect\\\\")"},
        {R"(\\server\share dir)", R"("\\server\share dir")"},
    };
    for (const auto& c : cases) {
        std::string line;
        append_quoted_argument(line, c.arg);
        EXPECT_EQ(line, c.quoted) << c.arg;
    }
    EXPECT_EQ(build_command_line(R"(C:\P Q\vuvezozire.exe)", {"a b", ""}),
              R"("C:\P Q\vuvezozire.exe" "a b" "")");
}

} // namespace
} // namespace kest::platform
