#include "net/http_agent.h"

#include <gtest/gtest.h>

#include "net/http_profiles.h"
#include "platform/net.h"
#include "support/http_server.h"
#include "support/wine.h"

namespace kest::net {
namespace {

using namespace std::chrono_literals;
using testing::HttpServer;
using testing::ReceivedRequest;
using testing::Reply;

// A direct profile with the given overall time-out; the proxy variables of the machine that
// runs the tests must not matter.
HttpProfile direct(std::chrono::milliseconds overall = 10s, int idle = 0) {
    HttpProfile p;
    p.overall_timeout = overall;
    p.connect_timeout = 5s;
    p.max_idle_per_host = idle;
    p.idle_timeout = 30s;
    p.proxy = ProxyMode::None;
    return p;
}

constexpr std::size_t mib = 1024 * 1024;

TEST(HttpAgent, ReturnsStatusAndBodyAndSendsTheHeaders) {
    HttpServer server;
    server.route("/hello", Reply::text(200, "world"));
    server.route("/empty", Reply::text(204, ""));
    HttpAgent agent(direct());

    auto reply = agent.get(server.url("/hello?x=1"), {{"Authorization", "Bearer s3cret"}}, mib);
    ASSERT_TRUE(reply) << reply.error().message;
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->body, "world");
    auto empty = agent.get(server.url("/empty"), {}, mib);
    ASSERT_TRUE(empty) << empty.error().message;
    EXPECT_EQ(empty->status, 204);
    EXPECT_EQ(empty->body, "");

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/hello?x=1");
    EXPECT_EQ(seen[0].header("Authorization"), "Bearer s3cret");
    EXPECT_EQ(seen[0].header("Accept-Encoding"), "gzip");
}

TEST(HttpAgent, StatusesFrom400AreErrorsCarryingTheStatus) {
    HttpServer server;
    server.route("/missing", Reply::text(404, "no such page"));
    server.route("/broken", Reply::text(500, std::string(200000, 'e')));
    server.route("/denied", Reply::text(401, ""));
    HttpAgent agent(direct());
    for (auto [path, status] : {std::pair{"/missing", 404}, {"/broken", 500}, {"/denied", 401}}) {
        SCOPED_TRACE(path);
        auto reply = agent.get(server.url(path), {}, mib);
        ASSERT_FALSE(reply);
        EXPECT_EQ(reply.error().kind, HttpErrorKind::Status);
        EXPECT_EQ(reply.error().status, status);
    }
}

TEST(HttpAgent, BodyLimitAppliesToTheBodyAsDecoded) {
    HttpServer server;
    std::string big(3 * mib + 17, 'x');
    big[12345] = 'y';
    server.route("/big", Reply::text(200, big));
    server.route("/bomb", Reply::gzipped(std::string(8 * mib, '0')));
    HttpAgent agent(direct());

    auto exact = agent.get(server.url("/big"), {}, big.size());
    ASSERT_TRUE(exact) << exact.error().message;
    EXPECT_EQ(exact->body, big);
    auto over = agent.get(server.url("/big"), {}, big.size() - 1);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().kind, HttpErrorKind::BodyTooLarge);
    // A few KiB on the wire that would expand to 8 MiB.
    auto bomb = agent.get(server.url("/bomb"), {}, mib);
    ASSERT_FALSE(bomb);
    EXPECT_EQ(bomb.error().kind, HttpErrorKind::BodyTooLarge);
}

TEST(HttpAgent, DecodesGzipBodiesAndRefusesOtherEncodings) {
    HttpServer server;
    std::string json = R"({"downloadTotal":123,"uploadTotal":45,"connections":[]})";
    server.route("/gz", Reply::gzipped(json));
    Reply broken = Reply::gzipped(json);
    broken.body.resize(broken.body.size() / 2);
    server.route("/truncated", broken);
    Reply brotli = Reply::text(200, "....");
    brotli.headers.emplace_back("Content-Encoding", "br");
    server.route("/br", brotli);
    HttpAgent agent(direct());

    auto reply = agent.get(server.url("/gz"), {}, mib);
    ASSERT_TRUE(reply) << reply.error().message;
    EXPECT_EQ(reply->body, json);
    for (const char* path : {"/truncated", "/br"}) {
        SCOPED_TRACE(path);
        auto bad = agent.get(server.url(path), {}, mib);
        ASSERT_FALSE(bad);
        EXPECT_EQ(bad.error().kind, HttpErrorKind::Decoding);
    }
}

// "/hop/N" redirects to "/hop/N-1" until "/hop/0" answers.
void serve_redirect_chain(HttpServer& server) {
    server.set_fallback([](const ReceivedRequest& req) {
        if (!req.target.starts_with("/hop/"))
            return Reply::text(404, "");
        int n = std::stoi(req.target.substr(5));
        if (n == 0)
            return Reply::text(200, "arrived");
        const int statuses[] = {301, 302, 303, 307, 308};
        return Reply::redirect(statuses[n % 5], "/hop/" + std::to_string(n - 1));
    });
}

TEST(HttpAgent, FollowsTenRedirectsButNotEleven) {
    HttpServer server;
    serve_redirect_chain(server);
    HttpAgent agent(direct());

    auto ten = agent.get(server.url("/hop/10"), {}, mib);
    ASSERT_TRUE(ten) << ten.error().message;
    EXPECT_EQ(ten->status, 200);
    EXPECT_EQ(ten->body, "arrived");
    EXPECT_EQ(server.requests().size(), 11u);

    auto eleven = agent.get(server.url("/hop/11"), {}, mib);
    ASSERT_FALSE(eleven);
    EXPECT_EQ(eleven.error().kind, HttpErrorKind::TooManyRedirects);
    EXPECT_EQ(server.requests().size(), 11u + 11u) << "the 11th Location is not requested";
}

TEST(HttpAgent, RedirectToAnotherServerDropsTheAuthorizationHeader) {
    HttpServer target;
    target.route("/landing", Reply::text(200, "landed"));
    HttpServer origin;
    origin.route("/same", Reply::redirect(302, "/here"));
    origin.route("/here", Reply::redirect(307, target.url("/landing")));
    HttpAgent agent(direct());

    auto reply =
        agent.get(origin.url("/same"), {{"Authorization", "Bearer x"}, {"Accept", "a/b"}}, mib);
    ASSERT_TRUE(reply) << reply.error().message;
    EXPECT_EQ(reply->body, "landed");
    auto first = origin.requests();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].header("Authorization"), "Bearer x") << "same server keeps it";
    auto last = target.requests();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].header("Authorization"), std::nullopt);
    EXPECT_EQ(last[0].header("Accept"), "a/b");
}

TEST(HttpAgent, OverallTimeOutCoversTheWaitForTheHeadAndForTheBody) {
    HttpServer server;
    Reply slow = Reply::text(200, "late");
    slow.delay = 20s;
    server.route("/slow", slow);
    Reply stalled = Reply::text(200, "stalled body");
    stalled.body_delay = 20s;
    server.route("/stalled", stalled);
    HttpAgent agent(direct(300ms));

    for (const char* path : {"/slow", "/stalled"}) {
        SCOPED_TRACE(path);
        auto start = std::chrono::steady_clock::now();
        auto reply = agent.get(server.url(path), {}, mib);
        auto took = std::chrono::steady_clock::now() - start;
        ASSERT_FALSE(reply);
        EXPECT_EQ(reply.error().kind, HttpErrorKind::Timeout) << reply.error().message;
        EXPECT_LT(took, 10s);
    }
}

TEST(HttpAgent, KeepsIdleConnectionsOnlyWhenTheProfileAllows) {
    HttpServer server;
    server.route("/n", Reply::text(200, "n"));
    HttpAgent pooling(direct(10s, 2));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(pooling.get(server.url("/n"), {}, 100));
    EXPECT_EQ(server.connections(), 1);

    HttpServer other;
    other.route("/n", Reply::text(200, "n"));
    HttpAgent fresh(direct(10s, 0));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(fresh.get(other.url("/n"), {}, 100));
    EXPECT_EQ(other.connections(), 3);
}

TEST(HttpAgent, KeepsAtMostTheProfilesNumberOfIdleConnectionsPerHost) {
    if (testing::running_under_wine())
        GTEST_SKIP() << "Wine's WinHTTP pools connections across sessions";
    HttpServer server;
    Reply slow = Reply::text(200, "n");
    slow.delay = 300ms; // keeps the three requests of a round in flight together
    server.route("/n", slow);
    HttpAgent agent(direct(10s, 2));
    auto round = [&] {
        std::vector<std::thread> threads;
        for (int i = 0; i < 3; ++i)
            threads.emplace_back([&] { EXPECT_TRUE(agent.get(server.url("/n"), {}, 100)); });
        for (auto& t : threads)
            t.join();
    };
    round();
    EXPECT_EQ(server.connections(), 3);
    round();
    EXPECT_EQ(server.connections(), 4) << "two kept from the first round, one new";
}

TEST(HttpAgent, IdleConnectionsAreNotReusedAfterTheIdleTimeOut) {
    // WinHTTP drops a session's idle connections with the session; Wine keeps one pool for
    // the whole process and closes idle connections only on its own schedule.
    if (testing::running_under_wine())
        GTEST_SKIP() << "Wine's WinHTTP pools connections across sessions";
    HttpServer server;
    server.route("/n", Reply::text(200, "n"));
    HttpProfile p = direct(10s, 2);
    p.idle_timeout = 1s;
    HttpAgent agent(p);
    ASSERT_TRUE(agent.get(server.url("/n"), {}, 100));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(agent.get(server.url("/n"), {}, 100));
    EXPECT_EQ(server.connections(), 2);
}

TEST(HttpAgent, ServesConcurrentCallersOnOneAgent) {
    // Two servers, so that the pool holds handles for two hosts at once, and a short idle
    // time-out, so that expiry runs while other threads take and return connections.
    HttpServer first;
    HttpServer second;
    for (HttpServer* server : {&first, &second})
        server->set_fallback([&second](const ReceivedRequest& req) {
            if (req.target.starts_with("/gz/"))
                return Reply::gzipped("echo " + req.target);
            if (req.target.starts_with("/missing/"))
                return Reply::text(404, "");
            if (req.target.starts_with("/away/"))
                return Reply::redirect(302, second.url(req.target.substr(5)));
            return Reply::text(200, "echo " + req.target);
        });
    HttpProfile profile = direct(10s, 2);
    profile.idle_timeout = 20ms;
    auto agent = make_http_agent(profile);
    const char* kinds[] = {"/", "/gz/", "/missing/", "/away/"};
    constexpr int rounds = 20;
    std::vector<std::thread> threads;
    std::vector<std::string> got(8);
    std::vector<std::string> expected(8);
    for (int t = 0; t < 8; ++t) {
        for (int i = 0; i < rounds; ++i) {
            std::string kind = kinds[(t + i) % 4];
            std::string id = std::to_string(t) + "-" + std::to_string(i);
            if (kind == "/missing/")
                expected[t] += "404;";
            else if (kind == "/away/")
                expected[t] += "echo /" + id + ";";
            else
                expected[t] += "echo " + kind + id + ";";
        }
        threads.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                std::string path = kinds[(t + i) % 4] + std::to_string(t) + "-" + std::to_string(i);
                auto reply = agent->get((i % 2 ? first : second).url(path), {}, 100);
                if (reply)
                    got[t] += reply->body + ";";
                else
                    got[t] += std::to_string(reply.error().status) + ";";
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(got[t], expected[t]) << "thread " << t;
}

TEST(HttpAgent, ConnectTimeOutEndsAConnectionThatIsNeverAccepted) {
    // A listener that never accepts: once its queue is full, further connection attempts go
    // unanswered, as with a host that drops them.
    auto listener = platform::listen_loopback(0);
    ASSERT_TRUE(listener) << listener.error();
    std::vector<platform::Socket> queued;
    for (int i = 0; i < 1000; ++i) {
        auto s = platform::connect_loopback(listener->local_port(), 200ms);
        if (!s)
            break;
        queued.push_back(std::move(*s));
    }
    ASSERT_LT(queued.size(), 1000u) << "the queue never filled";

    HttpProfile p = direct(20s);
    p.connect_timeout = 500ms;
    HttpAgent agent(p);
    auto start = std::chrono::steady_clock::now();
    auto reply =
        agent.get("http://127.0.0.1:" + std::to_string(listener->local_port()) + "/", {}, 100);
    auto took = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, HttpErrorKind::Timeout) << reply.error().message;
    EXPECT_LT(took, 5s);
}

TEST(HttpAgent, TransportFailuresAndRefusedUrlsAreErrors) {
    std::uint16_t closed_port;
    {
        HttpServer gone;
        closed_port = gone.port();
    }
    HttpAgent agent(direct(3s));
    auto refused = agent.get("http://127.0.0.1:" + std::to_string(closed_port) + "/", {}, 100);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, HttpErrorKind::Transport) << refused.error().message;

    auto bad = agent.get("127.0.0.1/x", {}, 100);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().kind, HttpErrorKind::InvalidUrl);
}

TEST(HttpAgent, PlainHttpProfileRefusesHttpsAndRedirectsToIt) {
    HttpServer server;
    server.route("/up", Reply::redirect(302, "https://127.0.0.1:1/secure"));
    HttpAgent agent(control_profile());
    auto direct_https = agent.get("https://127.0.0.1:1/x", {}, 100);
    ASSERT_FALSE(direct_https);
    EXPECT_EQ(direct_https.error().kind, HttpErrorKind::InvalidUrl);
    auto upgraded = agent.get(server.url("/up"), {}, 100);
    ASSERT_FALSE(upgraded);
    EXPECT_EQ(upgraded.error().kind, HttpErrorKind::InvalidUrl);
}

} // namespace
} // namespace kest::net
