#include "text/ip_address.h"

#include <gtest/gtest.h>

#include <string>

namespace kest::text {
namespace {

TEST(IpAddressText, Ipv4AcceptsOnlyTheStrictDottedQuad) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"0.0.0.0", true},     {"203.0.113.7", true}, {"255.255.255.255", true},
        {"256.1.1.1", false},  {"1.2.3.999", false},  {"01.2.3.4", false},
        {"1.2.3.00", false},   {"1.2.3", false},      {"1.2.3.4.5", false},
        {"1.2.3.4.", false},   {".1.2.3.4", false},   {"1..3.4", false},
        {"1.2.3.4:80", false}, {"1.2.3.4/32", false}, {" 1.2.3.4", false},
        {"1.2.3.4 ", false},   {"1234.1.1.1", false}, {"+1.2.3.4", false},
        {"0x7f.0.0.1", false}, {"", false},           {"١.٢.٣.٤", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_ipv4_text(c.text), c.valid) << c.text;
    EXPECT_EQ(parse_ipv4_text("127.10.0.255"), (Ipv4Bytes{127, 10, 0, 255}));
}

TEST(IpAddressText, Ipv6AcceptsTheStandardTextForms) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"::", true},
        {"::1", true},
        {"1::", true},
        {"2001:db8::1", true},
        {"2001:DB8:0:0:8:800:200C:417A", true},
        {"0001:0002:0003:0004:0005:0006:0007:0008", true},
        {"1:2:3:4:5:6:7::", true},
        {"::2:3:4:5:6:7:8", true},
        {"::ffff:192.0.2.1", true},
        {"64:ff9b::192.0.2.33", true},
        {"1:2:3:4:5:6:192.0.2.1", true},
        {"1:2:3:4:5:6:7", false},
        {"1:2:3:4:5:6:7:8:9", false},
        {"1:2:3:4:5:6:7:8::", false},
        {"::1:2:3:4:5:6:7:8", false},
        {"1::2::3", false},
        {":::", false},
        {":1::", false},
        {"1::2:", false},
        {":", false},
        {"12345::", false},
        {"g::1", false},
        {"[::1]", false},
        {"fe80::1%eth0", false},
        {"::1/128", false},
        {"::ffff:01.0.2.1", false},
        {"::1.2.3.4:5", false},
        {"1.2.3.4::", false},
        {"1:2:3:4:5:6:7:1.2.3.4", false},
        {"203.0.113.7", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_ipv6_text(c.text), c.valid) << c.text;
}

TEST(IpAddressText, Ipv6BytesPlaceTheCompressedGroupsCorrectly) {
    EXPECT_EQ(parse_ipv6_text("2001:db8::ff00:1"),
              (Ipv6Bytes{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0x00, 0, 1}));
    EXPECT_EQ(parse_ipv6_text("::ffff:127.0.0.1"),
              (Ipv6Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1}));
    EXPECT_EQ(parse_ipv6_text("0:0:0:0:0:0:0:1"), parse_ipv6_text("::1"));
}

} // namespace
} // namespace kest::text
