#include "vpn/dns_probe.h"

#include <gtest/gtest.h>

#include <set>

#include "support/dns_double.h"
#include "vpn/pick_system_dns.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using testing::DnsBehaviour;
using testing::DnsDouble;
using testing::DnsDoublePair;

constexpr text::Ipv4Bytes loopback_1{127, 0, 0, 1};
constexpr text::Ipv4Bytes loopback_2{127, 0, 0, 2};

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
        doubles.push_back(std::make_unique<DnsDouble>(loopback_1, 0, c.behaviour));
        auto [sender, receiver] = Channel<bool>::make();
        probes.emplace_back(probe_dns_server, loopback_1, std::move(sender),
                            doubles.back()->port());
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
        DnsDouble gone(loopback_1, 0, DnsBehaviour::Silent);
        port = gone.port();
    }
    auto [sender, receiver] = Channel<bool>::make();
    probe_dns_server(loopback_1, std::move(sender), port);
    EXPECT_EQ(receiver.try_recv(), std::optional<bool>(false));
}

TEST(PickSystemDns, WalksCandidatesInOrderAgainstOneDeadline) {
    struct Case {
        const char* name;
        DnsBehaviour first, second;
        std::chrono::milliseconds deadline;
        std::string chosen;
    } const cases[] = {
        // The first is waited for and wins though the second answered as fast.
        {"both answer", DnsBehaviour::Answer, DnsBehaviour::Answer, 5s, "127.0.0.1"},
        {"error response counts", DnsBehaviour::ErrorResponse, DnsBehaviour::Answer, 5s,
         "127.0.0.1"},
        {"wrong reply moves on", DnsBehaviour::WrongId, DnsBehaviour::Answer, 5s, "127.0.0.2"},
        // Its probe gives up after 2 s, well before the deadline.
        {"first silent", DnsBehaviour::Silent, DnsBehaviour::Answer, 5s, "127.0.0.2"},
        // The deadline comes while waiting on the first: the second's answer is not looked at.
        {"first stalls past the deadline", DnsBehaviour::Silent, DnsBehaviour::Answer, 600ms, ""},
        {"nobody answers", DnsBehaviour::QrClear, DnsBehaviour::Short, 5s, ""},
    };
    for (const Case& c : cases) {
        DnsDoublePair servers(c.first, c.second);
        DnsPickSettings settings{c.deadline, servers.port()};
        EXPECT_EQ(pick_from_candidates({loopback_1, loopback_2}, settings), c.chosen) << c.name;
        // Every candidate was probed, each once, whether or not its answer was looked at.
        EXPECT_TRUE(servers.a->wait_queries(1, 5s)) << c.name;
        EXPECT_TRUE(servers.b->wait_queries(1, 5s)) << c.name;
        EXPECT_EQ(servers.a->queries().size(), 1u) << c.name;
        EXPECT_EQ(servers.b->queries().size(), 1u) << c.name;
    }
}

TEST(PickSystemDns, NoCandidateReturnsAtOnceWithoutProbing) {
    EXPECT_EQ(pick_from_candidates({}), "");
}

} // namespace
} // namespace kest::vpn
