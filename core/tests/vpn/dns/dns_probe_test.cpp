#include "vpn/dns/dns_probe.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/fs.h"
#include "support/dns_double.h"
#include "support/temp_dir.h"
#include "vpn/dns/pick_system_dns.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using testing::DnsBehaviour;
using testing::DnsDouble;

constexpr text::Ipv4Bytes loopback{127, 0, 0, 1};

TEST(DnsProbeQuery, IsTheRootNsQuestionWithRecursionDesired) {
    const DnsProbeQuery expected = {0xAB, 0xCD, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01};
    EXPECT_EQ(dns_probe_query({0xAB, 0xCD}), expected);
}

TEST(DnsProbeReply, NeedsAHeaderTheIdAndTheQrBit) {
    const DnsQueryId id{0x12, 0x34};
    struct Case {
        std::vector<std::uint8_t> reply;
        bool ok;
    } cases[] = {
        {{0x12, 0x34, 0x81, 0x80, 0, 1, 0, 0, 0, 0, 0, 0}, true},
        {{0x12, 0x34, 0x80, 0x05, 0, 0, 0, 0, 0, 0, 0, 0}, true}, // REFUSED still answers
        {{0x12, 0x34, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9}, true},
        {{0x12, 0x35, 0x81, 0x80, 0, 1, 0, 0, 0, 0, 0, 0}, false},
        {{0x34, 0x12, 0x81, 0x80, 0, 1, 0, 0, 0, 0, 0, 0}, false},
        {{0x12, 0x34, 0x01, 0x80, 0, 1, 0, 0, 0, 0, 0, 0}, false},
        {{0x12, 0x34, 0x81, 0x80, 0, 1, 0, 0, 0, 0, 0}, false},
        {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_probe_reply(c.reply, id), c.ok) << ::testing::PrintToString(c.reply);
}

// Every probe against a double of its own, all at once, as the pick runs them.
TEST(DnsProbe, AnswersFromTheDoubleTellWhetherTheServerReplied) {
    struct Case {
        DnsBehaviour behaviour;
        bool answered;
    } const cases[] = {
        {DnsBehaviour::Answer, true},   {DnsBehaviour::ErrorResponse, true},
        {DnsBehaviour::WrongId, false}, {DnsBehaviour::QrClear, false},
        {DnsBehaviour::Short, false},   {DnsBehaviour::Silent, false},
    };
    std::vector<std::unique_ptr<DnsDouble>> doubles;
    std::vector<Channel<bool>::Receiver> results;
    std::vector<std::thread> probes;
    for (const auto& c : cases) {
        doubles.push_back(std::make_unique<DnsDouble>(loopback, 0, c.behaviour));
        auto [sender, receiver] = Channel<bool>::make();
        probes.emplace_back(probe_dns_server, loopback, std::move(sender), doubles.back()->port());
        results.push_back(std::move(receiver));
    }
    for (auto& t : probes)
        t.join();
    const std::string question("\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x01", 15);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(results[i].try_recv(), std::optional<bool>(cases[i].answered)) << i;
        auto queries = doubles[i]->queries();
        ASSERT_EQ(queries.size(), 1u) << i;
        ASSERT_EQ(queries[0].size(), 17u) << i;
        EXPECT_EQ(queries[0].substr(2), question) << i;
    }
    // Fresh IDs from the system generator: six equal ones would be a broken generator.
    std::set<std::string> ids;
    for (const auto& d : doubles)
        ids.insert(d->queries()[0].substr(0, 2));
    EXPECT_GT(ids.size(), 1u);
}

TEST(DnsProbe, NobodyListeningIsNoAnswer) {
    std::uint16_t port;
    {
        DnsDouble gone(loopback, 0, DnsBehaviour::Silent);
        port = gone.port();
    }
    auto [sender, receiver] = Channel<bool>::make();
    probe_dns_server(loopback, std::move(sender), port);
    EXPECT_EQ(receiver.try_recv(), std::optional<bool>(false));
}

// Both doubles listen on 127.0.0.1, on ports of their own, so the pick is told by position.
TEST(PickSystemDns, WalksCandidatesInOrderAgainstOneDeadline) {
    struct Case {
        const char* name;
        DnsBehaviour first, second;
        std::chrono::milliseconds deadline;
        std::optional<std::size_t> chosen;
    } const cases[] = {
        // The first is waited for and wins though the second answered as fast.
        {"both answer", DnsBehaviour::Answer, DnsBehaviour::Answer, 5s, 0},
        {"error response counts", DnsBehaviour::ErrorResponse, DnsBehaviour::Answer, 5s, 0},
        {"wrong reply moves on", DnsBehaviour::WrongId, DnsBehaviour::Answer, 5s, 1},
        // Its probe gives up after 2 s, well before the deadline.
        {"first silent", DnsBehaviour::Silent, DnsBehaviour::Answer, 5s, 1},
        // The deadline comes while waiting on the first: the second's answer is not looked at.
        {"first stalls past the deadline", DnsBehaviour::Silent, DnsBehaviour::Answer, 600ms,
         std::nullopt},
        {"nobody answers", DnsBehaviour::QrClear, DnsBehaviour::Short, 5s, std::nullopt},
    };
    for (const Case& c : cases) {
        DnsDouble first(loopback, 0, c.first);
        DnsDouble second(loopback, 0, c.second);
        EXPECT_EQ(
            first_answering({{loopback, first.port()}, {loopback, second.port()}}, c.deadline),
            c.chosen)
            << c.name;
        // Every candidate was probed, each once, whether or not its answer was looked at.
        for (const DnsDouble* server : {&first, &second}) {
            EXPECT_TRUE(server->wait_queries(1, 5s)) << c.name;
            EXPECT_EQ(server->queries().size(), 1u) << c.name;
        }
    }
}

TEST(PickSystemDns, NoCandidateReturnsAtOnceWithoutProbing) {
    EXPECT_EQ(first_answering({}), std::nullopt);
}

// A system list of loopback stubs and IPv6 servers leaves nothing to probe: the double that
// listens on the loopback address hears nothing.
TEST(PickSystemDns, LoopbackStubsAreNeverProbed) {
    if (platform::default_resolver_config_path().empty())
        GTEST_SKIP() << "the system list comes from the adapter listing here";
    testing::TempDir dir;
    std::string conf = dir.join("resolv.conf");
    ASSERT_TRUE(platform::write_file(conf, "nameserver 127.0.0.1\nnameserver 127.0.0.53\n"
                                           "nameserver ::1\nnameserver 2001:db8::1\n"));
    DnsDouble stub(loopback, 0, DnsBehaviour::Answer);
    EXPECT_EQ(pick_system_dns({dns_pick_deadline, stub.port()}, conf), "");
    EXPECT_FALSE(stub.wait_queries(1, 300ms));
}

} // namespace
} // namespace kest::vpn
