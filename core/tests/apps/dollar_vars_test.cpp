#include "apps/dollar_vars.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace kest::apps {
namespace {

TEST(ExpandDollarVars, ReplacesBothFormsAndLeavesEverythingElse) {
    testing::ScopedEnv env;
    env.set("ProgramFiles", "C:\\Program Files");
    env.set("ProgramFiles(x86)", "C:\\Program Files (x86)");
    env.set("KEST_EMPTY", "");
    env.set("KEST_UNSET_VAR", std::nullopt);
    env.set("A_1", "[a1]");
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"%ProgramFiles%\\App\\app.exe", "%ProgramFiles%\\App\\app.exe"},
        {"$ProgramFiles\\App\\app.exe", "C:\\Program Files\\App\\app.exe"},
        {"${ProgramFiles(x86)}\\App\\app.exe", "C:\\Program Files (x86)\\App\\app.exe"},
        {"$KEST_UNSET_VAR\\x.exe", "\\x.exe"},
        {"${KEST_UNSET_VAR}x", "x"},
        {"$KEST_EMPTY|", "|"},
        {"$A_1.exe", "[a1].exe"}, // the name ends at the first other character
        {"$A_1$A_1", "[a1][a1]"},
        {"${}x", "x"}, // an empty name is never set
        {"$", "$"},
        {"a$-b", "a$-b"},
        {"$$A_1", "$[a1]"},
        {"${A_1", "${A_1"},     // no closing brace: kept as written
        {"${A_1 ${A_1}x", "x"}, // the name runs to the first closing brace
        {"Ünï$A_1ç", "Ünï[a1]ç"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand_dollar_vars(c.in), c.out) << c.in;
}

} // namespace
} // namespace kest::apps
