#include "vpn/dns/doh_response.h"

#include <gtest/gtest.h>

#include "vpn/dns/server_lookups.h"

namespace kest::vpn {
namespace {

TEST(DohReply, TheFirstTypeARecordThatIsAnAddressWins) {
    struct Case {
        int status;
        std::string body;
        std::string address;
    } const cases[] = {
        {200, R"({"Status":0,"Answer":[{"name":"a.test.","type":1,"TTL":60,"data":"192.0.2.1"}]})",
         "192.0.2.1"},
        // A CNAME chain before the address.
        {200,
         R"({"Answer":[{"type":5,"data":"b.test."},{"type":5,"data":"c.test."},)"
         R"({"type":1,"data":"198.51.100.4"},{"type":1,"data":"198.51.100.5"}]})",
         "198.51.100.4"},
        // The first type-1 record is no address; a later one is.
        {200, R"({"Answer":[{"type":1,"data":"not an address"},{"type":1,"data":"192.0.2.2"}]})",
         "192.0.2.2"},
        {200, R"({"Answer":[{"type":1,"data":"01.2.3.4"},{"type":28,"data":"2001:db8::1"}]})", ""},
        {200, R"({"Answer":[{"type":1,"data":" 192.0.2.3"},{"type":1,"data":"192.0.2.3 "}]})", ""},
        {200, R"({"Answer":[{"type":1,"data":"192.0.2.256"},{"type":1,"data":"2001:db8::1"}]})",
         ""},
        {200, R"({"Answer":[{"data":"192.0.2.4"},{"type":1}]})", ""},
        {200, R"({"Answer":[[5,"x."],[1,"192.0.2.5"]]})", "192.0.2.5"},
        {200, R"([[[1,"192.0.2.6"]]])", "192.0.2.6"},
        {200, R"([])", ""},
        {200, R"({"Status":3})", ""},
        {200, R"({"Answer":[]})", ""},
        // Unknown keys are skipped whatever they hold, repeated or not.
        {200,
         R"({"Question":[{"name":"a."}],"Question":1,"Answer":[{"x":null,"x":2,"type":1,)"
         R"("data":"192.0.2.7"}]})",
         "192.0.2.7"},
        {200, " \r\n\t{\"Answer\":[{\"type\":1,\"data\":\"192.0.2.8\"}]} \n", "192.0.2.8"},
        // Decoding failures.
        {200, R"({"Answer":null})", ""},
        {200, R"({"Answer":{"type":1,"data":"192.0.2.9"}})", ""},
        {200, R"({"Answer":[],"Answer":[{"type":1,"data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":1,"type":1,"data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":1,"data":"192.0.2.9","data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":"1","data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":null,"data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":1.0,"data":"192.0.2.9"}]})", ""},
        {200, R"({"Answer":[{"type":1,"data":null}]})", ""},
        {200, R"({"Answer":[[1,"192.0.2.9",3]]})", ""},
        {200, R"({"Answer":[{"type":1,"data":"192.0.2.9"}]} {})", ""},
        {200, R"({"Answer":[{"type":1,"data":"192.0.2.9"}])", ""},
        {200, "", ""},
        {200, "null", ""},
        // Only a 200 answer counts.
        {203, R"({"Answer":[{"type":1,"data":"192.0.2.10"}]})", ""},
        {204, R"({"Answer":[{"type":1,"data":"192.0.2.10"}]})", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(address_from_doh_reply(c.status, c.body), c.address) << c.status << " " << c.body;
}

TEST(DohResponse, ErrorsNameTheRecordTheyExpected) {
    auto top = parse_doh_response("5");
    ASSERT_FALSE(top);
    EXPECT_NE(top.error().find("struct DohResponse"), std::string::npos) << top.error();
    auto record = parse_doh_response(R"({"Answer":["x"]})");
    ASSERT_FALSE(record);
    EXPECT_NE(record.error().find("struct DohAnswer"), std::string::npos) << record.error();
    auto twice = parse_doh_response(R"({"Answer":[],"Answer":[]})");
    ASSERT_FALSE(twice);
    EXPECT_NE(twice.error().find("duplicate field `Answer`"), std::string::npos) << twice.error();
}

TEST(DohResponse, KeepsEveryRecordWithItsDefaults) {
    auto r = parse_doh_response(R"({"Answer":[{"type":-5},{"data":"x"},[],[28]]})");
    ASSERT_TRUE(r) << r.error();
    ASSERT_EQ(r->answers.size(), 4u);
    EXPECT_EQ(r->answers[0].type, -5);
    EXPECT_EQ(r->answers[0].data, "");
    EXPECT_EQ(r->answers[1].type, 0);
    EXPECT_EQ(r->answers[1].data, "x");
    EXPECT_EQ(r->answers[2].type, 0);
    EXPECT_EQ(r->answers[3].type, 28);
}

} // namespace
} // namespace kest::vpn
