#include "vpn/dns/preresolve.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "../log_capture.h"
#include "support/http_server.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using namespace std::chrono_literals;
using testing::HttpServer;
using testing::Reply;

std::string a_record(std::string_view address) {
    return R"({"Status":0,"Answer":[{"name":"x.","type":1,"TTL":30,"data":")" +
           std::string(address) + R"("}]})";
}

Reply answer(std::string_view address, std::chrono::milliseconds delay = 0ms) {
    Reply r = Reply::text(200, a_record(address));
    r.delay = delay;
    return r;
}

// Replies only after the test has ended (the server's stop cuts the wait short).
Reply never() {
    Reply r = answer("192.0.2.250");
    r.delay = 120s;
    return r;
}

// Two local endpoints, a cache of the test's own and a clock it moves by hand.
struct Endpoints {
    HttpServer one, two;
    DohCache cache;
    DohCache::Clock::time_point now = DohCache::Clock::time_point() + 1000h;

    PreresolveSettings settings(std::chrono::milliseconds doh_phase = 7s,
                                std::chrono::milliseconds overall = 15s) {
        PreresolveSettings s;
        s.endpoint_1 = one.url("");
        s.endpoint_2 = two.url("");
        s.doh_phase = doh_phase;
        s.overall = overall;
        s.cache = &cache;
        s.now = [this] { return now; };
        return s;
    }
    std::size_t requests() const { return one.requests().size() + two.requests().size(); }
};

Json outbound_for(std::string_view server) {
    return Json{{"tag", "proxy"}, {"type", "vless"}, {"server", server}, {"server_port", 443}};
}

TEST(Preresolve, AnEmptyFirstAnswerWaitsForTheSecondEndpoint) {
    Endpoints ep;
    ep.one.route("/resolve", Reply::text(200, R"({"Status":0,"Answer":[]})"));
    ep.two.route("/dns-query", answer("198.51.100.20", 300ms));
    Json out = outbound_for("vpn.example.test");
    preresolve_server(out, ep.settings());
    EXPECT_EQ(out["server"], "198.51.100.20");

    for (const HttpServer* s : {&ep.one, &ep.two}) {
        auto seen = s->requests();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].method, "GET");
        EXPECT_EQ(seen[0].header("Accept"), "application/dns-json");
    }
    EXPECT_EQ(ep.one.requests()[0].target, "/resolve?name=vpn.example.test&type=A");
    EXPECT_EQ(ep.two.requests()[0].target, "/dns-query?name=vpn.example.test&type=A");
}

TEST(Preresolve, TheFirstAddressWinsWhicheverEndpointGivesIt) {
    struct Case {
        const char* name;
        Reply one, two;
        std::string address;
    } const cases[] = {
        {"endpoint 1 after a CNAME, endpoint 2 silent",
         Reply::text(200, R"({"Answer":[{"type":5,"data":"cdn.test."},)"
                          R"({"type":1,"data":"203.0.113.9"}]})"),
         never(), "203.0.113.9"},
        {"endpoint 2 first", answer("192.0.2.1", 1500ms), answer("192.0.2.2"), "192.0.2.2"},
        {"endpoint 1 failing with 500", Reply::text(500, "oops"), answer("192.0.2.3", 200ms),
         "192.0.2.3"},
        {"endpoint 2 refusing with 404", answer("192.0.2.4", 200ms), Reply::text(404, ""),
         "192.0.2.4"},
    };
    for (const Case& c : cases) {
        Endpoints ep;
        ep.one.route("/resolve", c.one);
        ep.two.route("/dns-query", c.two);
        Json out = outbound_for("vpn.example.test");
        preresolve_server(out, ep.settings());
        EXPECT_EQ(out["server"], c.address) << c.name;
        EXPECT_EQ(ep.cache.fresh("vpn.example.test", ep.now), c.address) << c.name;
    }
}

// When neither endpoint gives an address the system resolver is asked; "localhost" is the
// one name every resolver knows.
TEST(Preresolve, FallsBackToTheSystemResolver) {
    struct Case {
        const char* name;
        Reply one, two;
        std::chrono::milliseconds doh_phase;
    } const cases[] = {
        {"both fail at once", Reply::text(503, ""), Reply::text(200, R"({"Answer":null})"), 7s},
        {"the first A record is no address, the other endpoint is empty",
         Reply::text(200, R"({"Answer":[{"type":1,"data":"localhost"}]})"), Reply::text(200, "{}"),
         7s},
        {"a body over 10 MiB, however well formed",
         Reply::text(200, a_record("192.0.2.77") + std::string(10 * 1024 * 1024, ' ')),
         Reply::text(203, a_record("192.0.2.78")), 7s},
        // The phase ends at its deadline although an address is on its way.
        {"both past the phase deadline", answer("192.0.2.5", 3s), never(), 500ms},
    };
    for (const Case& c : cases) {
        Endpoints ep;
        ep.one.route("/resolve", c.one);
        ep.two.route("/dns-query", c.two);
        Json out = outbound_for("localhost");
        out["tls"] = Json::object({{"enabled", true}});
        preresolve_server(out, ep.settings(c.doh_phase));
        EXPECT_EQ(out["server"], "127.0.0.1") << c.name;
        EXPECT_EQ(out["tls"]["server_name"], "localhost") << c.name;
        EXPECT_EQ(ep.cache.fresh("localhost", ep.now), "127.0.0.1") << c.name;
    }
}

// In place of the system resolver: what it answers, and the host it was asked for.
struct ScriptedResolver {
    Expected<std::vector<text::IpAddress>> answer;
    std::shared_ptr<std::string> asked = std::make_shared<std::string>();

    HostResolver resolver() const {
        return [answer = answer, asked = asked](std::string_view host) {
            *asked = host;
            return answer;
        };
    }
};

TEST(Preresolve, TheSystemResolverGivesItsFirstIpv4Address) {
    const text::Ipv6Bytes v6{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    struct Case {
        const char* name;
        Expected<std::vector<text::IpAddress>> answer;
        std::optional<std::string> address; // none: the lookup failed
    } const cases[] = {
        {"IPv6 first",
         std::vector<text::IpAddress>{v6, text::Ipv4Bytes{192, 0, 2, 7},
                                      text::Ipv4Bytes{192, 0, 2, 8}},
         "192.0.2.7"},
        {"IPv6 only", std::vector<text::IpAddress>{v6}, std::nullopt},
        {"no addresses", std::vector<text::IpAddress>{}, std::nullopt},
        {"a resolver error", unexpected(std::string("no such host")), std::nullopt},
    };
    const std::string failed = "[vpn] " + std::string(texts::preresolve_failed);
    for (const Case& c : cases) {
        Endpoints ep;
        ep.one.route("/resolve", Reply::text(503, ""));
        ep.two.route("/dns-query", Reply::text(200, "{}"));
        ScriptedResolver system{c.answer};
        PreresolveSettings settings = ep.settings();
        settings.system_resolver = system.resolver();
        Json out = outbound_for("vpn.example.test");
        LogCapture log;
        preresolve_server(out, settings);
        EXPECT_EQ(*system.asked, "vpn.example.test") << c.name;
        EXPECT_EQ(out["server"], c.address.value_or("vpn.example.test")) << c.name;
        EXPECT_EQ(ep.cache.fresh("vpn.example.test", ep.now), c.address) << c.name;
        EXPECT_EQ(log.lines_ending_with(failed), c.address ? 0u : 1u) << c.name;
    }
}

// A system resolver that keeps its answer until the test lets go. A watchdog lets go by itself
// after a wait far beyond the call's limits, so that a call without a limit fails the test
// instead of hanging it.
class HeldResolver {
public:
    explicit HeldResolver(std::chrono::seconds watchdog)
        : watchdog_([gate = gate_, watchdog] {
              std::unique_lock lock(gate->mutex);
              if (!gate->changed.wait_for(lock, watchdog, [&] { return gate->released; })) {
                  gate->released = gate->forced = true;
                  gate->changed.notify_all();
              }
          }) {}
    ~HeldResolver() {
        release();
        watchdog_.join();
    }
    HeldResolver(const HeldResolver&) = delete;
    HeldResolver& operator=(const HeldResolver&) = delete;

    // The lookup thread may outlive the test; it shares only the gate.
    HostResolver resolver() const {
        return [gate = gate_](std::string_view) -> Expected<std::vector<text::IpAddress>> {
            std::unique_lock lock(gate->mutex);
            gate->asked = true;
            gate->changed.notify_all();
            gate->changed.wait(lock, [&] { return gate->released; });
            return std::vector<text::IpAddress>{text::Ipv4Bytes{192, 0, 2, 99}};
        };
    }
    void wait_until_asked() {
        std::unique_lock lock(gate_->mutex);
        gate_->changed.wait(lock, [&] { return gate_->asked; });
    }
    // Lets the lookup answer; true when the watchdog had to do it first.
    bool release() {
        std::lock_guard lock(gate_->mutex);
        gate_->released = true;
        gate_->changed.notify_all();
        return gate_->forced;
    }

private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool asked = false, released = false, forced = false;
    };
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    std::thread watchdog_;
};

TEST(Preresolve, ASystemResolverThatNeverAnswersEndsTheCallAtTheOverallLimit) {
    Endpoints ep;
    ep.one.route("/resolve", Reply::text(200, R"({"Answer":[]})"));
    ep.two.route("/dns-query", Reply::text(502, ""));
    HeldResolver system(30s);
    PreresolveSettings settings = ep.settings(200ms, 500ms);
    settings.system_resolver = system.resolver();
    Json out = outbound_for("vpn.example.test");
    out["tls"] = Json::object({{"enabled", true}});
    const Json before = out;

    LogCapture log;
    preresolve_server(out, settings);
    EXPECT_FALSE(system.release()) << "the call waited for the system resolver past its limit";
    system.wait_until_asked();
    EXPECT_EQ(out, before);
    EXPECT_EQ(log.lines_ending_with("[vpn] " + std::string(texts::preresolve_failed)), 1u)
        << log.finish();
    EXPECT_FALSE(ep.cache.holds("vpn.example.test"));
}

TEST(Preresolve, LiteralOrMissingServersAreLeftAloneWithoutALookup) {
    Endpoints ep;
    ep.one.route("/resolve", answer("192.0.2.1"));
    ep.two.route("/dns-query", answer("192.0.2.1"));
    const Json cases[] = {
        outbound_for("203.0.113.5"),
        outbound_for("2001:db8::1"),
        outbound_for("::ffff:192.0.2.1"),
        outbound_for(""),
        Json{{"tag", "proxy"}, {"tls", {{"enabled", true}}}},
        Json{{"tag", "proxy"}, {"server", 5}},
        Json{{"tag", "proxy"}, {"server", nullptr}},
        Json::array({"server", "vpn.example.test"}),
    };
    for (const Json& c : cases) {
        Json out = c;
        preresolve_server(out, ep.settings());
        EXPECT_EQ(out, c) << c.dump();
    }
    EXPECT_EQ(ep.requests(), 0u);
}

TEST(Preresolve, TlsGetsTheHostAsServerNameOnlyWhenItIsAnObjectWithoutOne) {
    struct Case {
        std::optional<Json> tls;
        std::optional<Json> expected;
    } const cases[] = {
        {std::nullopt, std::nullopt},
        {Json::object({{"enabled", true}}),
         Json::object({{"enabled", true}, {"server_name", "vpn.example.test"}})},
        {Json::object(), Json::object({{"server_name", "vpn.example.test"}})},
        {Json::object({{"enabled", true}, {"server_name", "front.test"}}),
         Json::object({{"enabled", true}, {"server_name", "front.test"}})},
        {Json::object({{"server_name", nullptr}}), Json::object({{"server_name", nullptr}})},
        {Json(true), Json(true)},
        {Json(nullptr), Json(nullptr)},
    };
    Endpoints ep;
    ep.one.route("/resolve", answer("192.0.2.44"));
    ep.two.route("/dns-query", answer("192.0.2.44"));
    for (const Case& c : cases) {
        Json out = outbound_for("vpn.example.test");
        if (c.tls)
            out["tls"] = *c.tls;
        preresolve_server(out, ep.settings());
        Json expected = outbound_for("192.0.2.44");
        if (c.expected)
            expected["tls"] = *c.expected;
        EXPECT_EQ(out, expected) << (c.tls ? c.tls->dump() : "no tls");
    }
}

TEST(Preresolve, ACachedHostCostsNoRequestUntilItHasAged) {
    Endpoints ep;
    ep.one.route("/resolve", Reply::text(200, "{}"));
    ep.two.route("/dns-query", answer("192.0.2.61", 300ms));
    Json first = outbound_for("cached.example.test");
    preresolve_server(first, ep.settings());
    ASSERT_EQ(first["server"], "192.0.2.61");
    std::size_t after_first = ep.requests();
    EXPECT_EQ(after_first, 2u);

    // The endpoints now give another address, which only a new lookup can see.
    ep.one.route("/resolve", answer("192.0.2.62"));
    ep.two.route("/dns-query", answer("192.0.2.62"));
    ep.now += 599s;
    Json second = outbound_for("cached.example.test");
    second["tls"] = Json::object();
    preresolve_server(second, ep.settings());
    EXPECT_EQ(second["server"], "192.0.2.61");
    EXPECT_EQ(second["tls"]["server_name"], "cached.example.test");
    EXPECT_EQ(ep.requests(), after_first);

    ep.now += 1s;
    Json third = outbound_for("cached.example.test");
    preresolve_server(third, ep.settings());
    EXPECT_EQ(third["server"], "192.0.2.62");
    EXPECT_GT(ep.requests(), after_first);
    EXPECT_EQ(ep.cache.fresh("cached.example.test", ep.now), "192.0.2.62");
}

TEST(Preresolve, AnInternationalHostIsPercentEncodedByteByByteButCachedAsItIs) {
    const std::string host = "пример.испытание";
    const std::string encoded = "%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D0%B8%D1%81%D0%BF%D1%8B"
                                "%D1%82%D0%B0%D0%BD%D0%B8%D0%B5";
    Endpoints ep;
    // The first answer is empty and the address comes later, so both requests have been
    // served when the call returns.
    ep.one.route("/resolve", Reply::text(200, "{}"));
    ep.two.route("/dns-query", answer("192.0.2.90", 300ms));
    Json out = outbound_for(host);
    preresolve_server(out, ep.settings());
    EXPECT_EQ(out["server"], "192.0.2.90");
    ASSERT_EQ(ep.one.requests().size(), 1u);
    ASSERT_EQ(ep.two.requests().size(), 1u);
    EXPECT_EQ(ep.one.requests()[0].target, "/resolve?name=" + encoded + "&type=A");
    EXPECT_EQ(ep.two.requests()[0].target, "/dns-query?name=" + encoded + "&type=A");
    EXPECT_TRUE(ep.cache.holds(host));
    EXPECT_FALSE(ep.cache.holds(encoded));
}

TEST(PercentEncodeHost, PassesOnlyUnreservedAsciiBytes) {
    EXPECT_EQ(percent_encode_host("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(percent_encode_host("a b&c=d?e#f/g%h+i:j@k[l]"),
              "a%20b%26c%3Dd%3Fe%23f%2Fg%25h%2Bi%3Aj%40k%5Bl%5D");
    EXPECT_EQ(percent_encode_host(std::string("\x00\x7F\xFF", 3)), "%00%7F%FF");
    EXPECT_EQ(percent_encode_host("é"), "%C3%A9");
}

} // namespace
} // namespace kest::vpn
