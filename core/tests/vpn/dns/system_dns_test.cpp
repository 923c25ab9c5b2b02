#include "vpn/dns/system_dns.h"

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "support/wine.h"

namespace kest::vpn {
namespace {

using platform::AdapterCall;
using platform::AdapterCallStatus;
using platform::AdapterRecord;
using platform::SocketAddressRecord;

text::Ipv4Bytes v4(std::string_view s) {
    return text::parse_ipv4_text(s).value();
}
text::Ipv6Bytes v6(std::string_view s) {
    return text::parse_ipv6_text(s).value();
}

std::optional<SocketAddressRecord> entry(std::string_view address) {
    SocketAddressRecord r;
    if (auto a = text::parse_ipv4_text(address)) {
        r.family = platform::family_ipv4;
        std::copy(a->begin(), a->end(), r.bytes.begin());
    } else {
        r.family = platform::family_ipv6;
        r.bytes = v6(address);
    }
    return r;
}

AdapterRecord adapter(std::uint32_t status, std::optional<std::u16string> name,
                      std::vector<std::optional<SocketAddressRecord>> dns) {
    return AdapterRecord{status, std::move(name), std::move(dns)};
}

TEST(AdapterWalk, KeepsAdapterThenServerOrderOfUpAdaptersExceptTheOwnTun) {
    SocketAddressRecord other_family;
    other_family.family = 17;
    other_family.bytes = v6("2001:db8::99");
    const std::u16string lone_surrogate = {u'k', 0xD800};
    std::vector<AdapterRecord> adapters = {
        adapter(1, u"Ethernet", {entry("192.0.2.1"), std::nullopt, entry("2001:db8::1")}),
        adapter(2, u"Down", {entry("192.0.2.66")}),
        adapter(1, u"kesttun", {entry("172.25.213.2"), entry("198.51.100.7")}),
        adapter(1, u"KESTTUN", {entry("192.0.2.3")}),
        adapter(1, u"kesttun ", {entry("192.0.2.4")}),
        adapter(1, std::nullopt, {entry("192.0.2.5"), other_family}),
        adapter(1, lone_surrogate, {entry("192.0.2.1")}),
        adapter(7, std::nullopt, {entry("192.0.2.77")}),
    };
    DnsServerList expected = {v4("192.0.2.1"), v6("2001:db8::1"), v4("192.0.2.3"),
                              v4("192.0.2.4"), v4("192.0.2.5"),   v4("192.0.2.1")};
    EXPECT_EQ(dns_servers_of(adapters), expected);
}

TEST(AdapterWalk, BufferGrowsToTheReportedSizeAtMostThreeTimes) {
    const std::vector<AdapterRecord> one = {adapter(1, u"Wi-Fi", {entry("192.0.2.9")})};
    struct Case {
        const char* name;
        std::vector<AdapterCall> answers;
        std::vector<std::size_t> sizes;
        bool adapters;
    };
    auto overflow = [](std::size_t needed) {
        return AdapterCall{AdapterCallStatus::BufferOverflow, needed, {}};
    };
    const AdapterCall ok{AdapterCallStatus::Ok, 0, one};
    const AdapterCall failed{AdapterCallStatus::Failed, 0, {}};
    const Case cases[] = {
        {"fits at once", {ok}, {15000}, true},
        {"grows once, rounded to 8", {overflow(20001), ok}, {15000, 20008}, true},
        {"grows three times",
         {overflow(16000), overflow(16001), overflow(40000), ok},
         {15000, 16000, 16008, 40000},
         true},
        {"fourth overflow",
         {overflow(16000), overflow(17000), overflow(18000), overflow(19000)},
         {15000, 16000, 17000, 18000},
         false},
        {"other error", {failed}, {15000}, false},
        {"error after growing", {overflow(30000), failed}, {15000, 30000}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::size_t> sizes;
        auto got = list_adapters([&](std::size_t size) {
            sizes.push_back(size);
            return sizes.size() <= c.answers.size() ? c.answers[sizes.size() - 1] : ok;
        });
        EXPECT_EQ(sizes, c.sizes) << c.name;
        EXPECT_EQ(got.size(), c.adapters ? 1u : 0u) << c.name;
    }
}

TEST(UsableDns, DropsWhatCannotServeAndKeepsFirstPositions) {
    const DnsServerList servers = {
        v4("127.0.0.53"),
        v4("172.25.213.0"),
        v4("172.25.213.1"),
        v4("172.25.213.3"),
        v4("192.0.2.10"),
        v4("172.25.213.4"),
        v4("169.254.1.1"),
        v4("169.253.255.255"),
        v4("0.0.0.0"),
        v4("224.0.0.251"),
        v4("239.255.255.255"),
        v4("240.0.0.1"),
        v6("::1"),
        v6("2001:db8::53"),
        v6("fe80::1"),
        v6("::ffff:8.8.4.4"),
        v6("::ffff:127.0.0.1"),
        v6("::ffff:172.25.213.2"),
        v6("::8.8.4.4"),
        v4("192.0.2.10"),
        v6("::ffff:192.0.2.10"),
        v4("8.8.4.4"),
        v4("127.255.255.255"),
        v4("128.0.0.1"),
    };
    const UsableDnsList expected = {v4("192.0.2.10"), v4("172.25.213.4"), v4("169.253.255.255"),
                                    v4("240.0.0.1"),  v4("8.8.4.4"),      v4("128.0.0.1")};
    EXPECT_EQ(usable_ipv4_dns(servers), expected);
}

TEST(UsableDns, LoopbackOrIpv6OnlyListsLeaveNothing) {
    EXPECT_TRUE(usable_ipv4_dns({v4("127.0.0.1"), v4("127.0.0.53"), v6("::1")}).empty());
    EXPECT_TRUE(usable_ipv4_dns({v6("2001:db8::1"), v6("fe80::1")}).empty());
    EXPECT_TRUE(usable_ipv4_dns({}).empty());
}

TEST(ResolverConfig, NameserverLinesInOrder) {
    const char* conf = "# generated\n"
                       "search example.test\n"
                       "nameserver 192.0.2.53\n"
                       "nameserver\t2001:db8::53%eth0 # scoped\n"
                       ";nameserver 192.0.2.99\n"
                       "#nameserver 192.0.2.98\n"
                       " nameserver 192.0.2.97\n"
                       "nameservers 192.0.2.96\n"
                       "nameserver\n"
                       "nameserver not-an-address\n"
                       "nameserver 192.0.2.53\r\n"
                       "options ndots:2\n"
                       "nameserver    ::ffff:198.51.100.1";
    std::vector<text::IpAddress> got;
    for (const auto& r : platform::resolver_config_nameservers(conf)) {
        if (r.family == platform::family_ipv4)
            got.emplace_back(text::Ipv4Bytes{r.bytes[0], r.bytes[1], r.bytes[2], r.bytes[3]});
        else
            got.emplace_back(r.bytes);
    }
    DnsServerList expected = {v4("192.0.2.53"), v6("2001:db8::53"), v4("192.0.2.53"),
                              v6("::ffff:198.51.100.1")};
    EXPECT_EQ(got, expected);
}

// Where the resolver configuration stands in for the adapter listing, the system list is
// that file's servers, and an unreadable file is an empty list.
TEST(SystemDnsServers, ComeFromTheResolverConfigurationWhereThereIsNoAdapterListing) {
    if (platform::default_resolver_config_path().empty())
        GTEST_SKIP() << "the adapter listing is the source here";
    testing::TempDir dir;
    std::string path = dir.join("resolv.conf");
    ASSERT_TRUE(platform::write_file(path, "nameserver 127.0.0.53\nnameserver 192.0.2.1\n"));
    EXPECT_EQ(system_dns_servers(path), (DnsServerList{v4("127.0.0.53"), v4("192.0.2.1")}));
    EXPECT_TRUE(system_dns_servers(dir.join("missing")).empty());
}

// The real listing of this machine: it runs without fault, and where it reads the resolver
// configuration (natively, and Wine, which builds its adapters' DNS servers from the host's
// file) it names the host's servers.
TEST(SystemDnsServers, TheMachinesOwnListNamesItsResolvers) {
    DnsServerList servers = system_dns_servers();
    std::string host_conf = platform::default_resolver_config_path();
    if (testing::running_under_wine())
        host_conf = "Z:\\etc\\resolv.conf";
    if (host_conf.empty())
        return; // a real Windows machine: any list is sane
    auto text = platform::read_file(host_conf);
    if (!text)
        GTEST_SKIP() << "no resolver configuration on this host";
    for (const auto& r : platform::resolver_config_nameservers(*text)) {
        if (r.family != platform::family_ipv4)
            continue;
        text::Ipv4Bytes a{r.bytes[0], r.bytes[1], r.bytes[2], r.bytes[3]};
        EXPECT_NE(std::find(servers.begin(), servers.end(), text::IpAddress(a)), servers.end())
            << text::ipv4_text(a);
    }
}

} // namespace
} // namespace kest::vpn
