#include "rpc/totals.h"

#include <gtest/gtest.h>

namespace kest::rpc {
namespace {

TEST(Totals, DecodesObjectAndArrayForms) {
    struct Case {
        const char* body;
        std::int64_t up, down;
    } cases[] = {
        {R"({"uploadTotal":5,"x":[1]})", 5, 0},
        {R"({"downloadTotal":7,"uploadTotal":-2,"connections":[{"a":{"b":null}}]})", -2, 7},
        {" \r\n\t{\"uploadTotal\":1} \n", 1, 0},
        {R"([3,4])", 3, 4},
        {R"([3])", 3, 0},
        {R"([])", 0, 0},
        {R"({})", 0, 0},
        {R"({"uploadTotal":9223372036854775807,"downloadTotal":-9223372036854775808})", INT64_MAX,
         INT64_MIN},
    };
    for (const auto& c : cases) {
        auto t = parse_totals(c.body);
        ASSERT_TRUE(t) << c.body << ": " << t.error();
        EXPECT_EQ(t->upload_total, c.up) << c.body;
        EXPECT_EQ(t->download_total, c.down) << c.body;
    }
}

TEST(Totals, RefusesWhatIsNotAPlainSigned64BitTotal) {
    const char* bodies[] = {
        R"({"uploadTotal":5} trailing)",
        R"({"uploadTotal":5,"uploadTotal":6})",
        R"({"uploadTotal":1.5})",
        R"({"uploadTotal":1e3})",
        R"({"uploadTotal":"5"})",
        R"({"uploadTotal":null})",
        R"({"uploadTotal":9223372036854775808})",
        R"([1,2,3])",
        R"("totals")",
        R"()",
    };
    for (const char* body : bodies)
        EXPECT_FALSE(parse_totals(body)) << body;
}

} // namespace
} // namespace kest::rpc
