// Servers that misbehave on purpose: the agent must come back with an error, within its
// overall time-out, whatever the server sends or withholds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "net/http_agent.h"
#include "support/http_server.h"
#include "support/tcp_service.h"

namespace kest::net {
namespace {

using namespace std::chrono_literals;
using testing::TcpService;

// Sends its reply after the request head; keeps going until the client hangs up or the
// service stops.
using Script = std::function<void(platform::Socket&, const TcpService&)>;

class RawServer {
public:
    explicit RawServer(Script script) : script_(std::move(script)) {
        auto started = service_.start(0, [this](platform::Socket& s, int) {
            std::string buffer;
            bool bad = false;
            if (service_.read_request(s, buffer, bad))
                script_(s, service_);
        });
        if (!started)
            throw std::runtime_error(started.error());
    }
    ~RawServer() { service_.stop(); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(service_.port()) + "/"; }

private:
    Script script_;
    TcpService service_;
};

// Repeats piece until sending fails or the service stops, pausing between sends.
void repeat(platform::Socket& s, const TcpService& service, const std::string& piece,
            std::chrono::milliseconds pause = 0ms) {
    while (!service.stopping() && s.send_all(piece))
        if (pause > 0ms && !service.sleep_for(pause))
            return;
}

Script then_repeat(std::string head, std::string piece, std::chrono::milliseconds pause = 0ms) {
    return [=](platform::Socket& s, const TcpService& service) {
        if (s.send_all(head))
            repeat(s, service, piece, pause);
    };
}

Script once(std::string bytes) {
    return [=](platform::Socket& s, const TcpService&) { s.send_all(bytes); };
}

TEST(HostileServer, EveryMisbehaviourEndsInAnErrorWithinTheTimeOut) {
    using enum HttpErrorKind;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(i * 7919 % 251);
    struct Case {
        const char* name;
        Script script;
        // A head that never ends may be refused as too large or waited for until the deadline.
        std::vector<HttpErrorKind> kinds;
    };
    const Case cases[] = {
        {"endless header lines",
         then_repeat(ok, "X-Filler: " + std::string(1000, 'h') + "\r\n"),
         {Transport, Timeout}},
        {"one endless header line",
         then_repeat(ok + "X-Big: ", std::string(4096, 'b')),
         {Transport, Timeout}},
        {"endless interim replies",
         then_repeat("", "HTTP/1.1 100 Continue\r\n\r\n", 1ms),
         {Transport, Timeout}},
        {"status line one byte at a time", then_repeat("HTTP/1.1 200", "0", 50ms), {Timeout}},
        {"headers one line at a time", then_repeat(ok, "X-Slow: 1\r\n", 50ms), {Timeout}},
        {"body one byte at a time",
         then_repeat(ok + "Content-Length: 100000\r\n\r\n", "x", 50ms),
         {Timeout}},
        {"silence",
         [](platform::Socket&, const TcpService& service) { service.sleep_for(60s); },
         {Timeout}},
        {"endless body without a length",
         then_repeat(ok + "Connection: close\r\n\r\n", std::string(65536, 'e')),
         {BodyTooLarge}},
        {"endless chunked body",
         then_repeat(ok + "Transfer-Encoding: chunked\r\n\r\n",
                     "1000\r\n" + std::string(4096, 'c') + "\r\n"),
         {BodyTooLarge}},
        {"endless gzip body",
         then_repeat(ok + "Content-Encoding: gzip\r\nConnection: close\r\n\r\n" +
                         testing::gzip_compress(std::string(1 << 20, 'z')).substr(0, 1000),
                     std::string(65536, '\0')),
         {BodyTooLarge}},
        {"gzip body that is no gzip",
         once(ok + "Content-Encoding: gzip\r\nContent-Length: 4096\r\n\r\n" + garbage),
         {Decoding}},
        {"not HTTP at all", once(garbage), {Transport}},
        {"bad chunk size",
         once(ok + "Transfer-Encoding: chunked\r\n\r\nZZZ\r\nabc\r\n0\r\n\r\n"),
         {Transport}},
        {"body shorter than announced", once(ok + "Content-Length: 100\r\n\r\nshort"), {Transport}},
    };
    HttpProfile profile;
    profile.overall_timeout = 1500ms;
    profile.connect_timeout = 1s;
    profile.proxy = ProxyMode::None;
    HttpAgent agent(profile);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.script);
        auto start = std::chrono::steady_clock::now();
        auto reply = agent.get(server.url(), {}, 1 << 20);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, 4s);
        if (reply) {
            ADD_FAILURE() << "answered with status " << reply->status << " and "
                          << reply->body.size() << " body bytes";
            continue;
        }
        EXPECT_NE(std::find(c.kinds.begin(), c.kinds.end(), reply.error().kind), c.kinds.end())
            << "kind " << static_cast<int>(reply.error().kind) << ": " << reply.error().message;
    }
}

} // namespace
} // namespace kest::net
