#include "support/proxy_server.h"

#include <stdexcept>
#include <thread>

#include "text/ascii.h"

namespace kest::testing {
namespace {

std::string base64(std::string_view in) {
    static constexpr char table[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        unsigned v =
            (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
        out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], table[v & 63]};
    }
    if (i + 1 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16;
        out += {table[v >> 18], table[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
        out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], '='};
    }
    return out;
}

// The port of "127.0.0.1:PORT" or "localhost:PORT"; 0 for anything else.
std::uint16_t loopback_port(std::string_view authority) {
    auto colon = authority.rfind(':');
    if (colon == std::string_view::npos)
        return 0;
    std::string host = text::ascii_lowercase(authority.substr(0, colon));
    if (host != "127.0.0.1" && host != "localhost")
        return 0;
    unsigned port = 0;
    for (char c : authority.substr(colon + 1)) {
        if (c < '0' || c > '9' || port > 65535)
            return 0;
        port = port * 10 + unsigned(c - '0');
    }
    return port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

void send_status(platform::Socket& s, int status, const std::string& extra = "") {
    s.send_all("HTTP/1.1 " + std::to_string(status) + " " + reason_phrase(status) + "\r\n" + extra +
               "Content-Length: 0\r\n\r\n");
}

} // namespace

ProxyServer::ProxyServer() {
    auto started = service_.start(0, [this](platform::Socket& s, int n) { serve(s, n); });
    if (!started)
        throw std::runtime_error("proxy double cannot listen: " + started.error());
}

ProxyServer::~ProxyServer() {
    service_.stop();
}

std::string ProxyServer::address() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

void ProxyServer::require_basic_auth(const std::string& user, const std::string& password) {
    std::lock_guard lock(mu_);
    expected_auth_ = "Basic " + base64(user + ":" + password);
}

std::vector<std::string> ProxyServer::connect_targets() const {
    std::lock_guard lock(mu_);
    return connect_targets_;
}

std::vector<std::string> ProxyServer::forwarded() const {
    std::lock_guard lock(mu_);
    return forwarded_;
}

bool ProxyServer::authorized(const ReceivedRequest& req) const {
    std::lock_guard lock(mu_);
    return expected_auth_.empty() || req.header("Proxy-Authorization") == expected_auth_;
}

void ProxyServer::serve(platform::Socket& client, int) {
    std::string buffer;
    for (;;) {
        bool bad = false;
        auto req = service_.read_request(client, buffer, bad);
        if (!req) {
            if (bad)
                send_status(client, 400);
            return;
        }
        if (!authorized(*req)) {
            // Keeps the connection, as a client answers the challenge on it.
            send_status(client, 407, "Proxy-Authenticate: Basic realm=\"test\"\r\n");
            continue;
        }
        if (req->method == "CONNECT") {
            std::uint16_t port = loopback_port(req->target);
            if (port == 0) {
                send_status(client, 502);
                return;
            }
            auto upstream = platform::connect_loopback(port, std::chrono::seconds(5));
            if (!upstream) {
                send_status(client, 502);
                return;
            }
            {
                std::lock_guard lock(mu_);
                connect_targets_.push_back(req->target);
            }
            client.send_all("HTTP/1.1 200 Connection established\r\n\r\n");
            tunnel(client, *upstream, buffer);
            return;
        }

        // A plain request in absolute form: forward it in origin form, one per connection.
        std::string_view target = req->target;
        if (!target.starts_with("http://")) {
            send_status(client, 400);
            return;
        }
        std::string_view rest = target.substr(7);
        auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        std::string path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
        std::uint16_t port = loopback_port(authority);
        auto upstream = port ? platform::connect_loopback(port, std::chrono::seconds(5))
                             : Expected<platform::Socket>(unexpected(std::string("refused")));
        if (!upstream) {
            send_status(client, 502);
            return;
        }
        {
            std::lock_guard lock(mu_);
            forwarded_.push_back(req->target);
        }
        std::string head = req->method + " " + path + " HTTP/1.1\r\n";
        for (const auto& [n, v] : req->headers) {
            std::string lower = text::ascii_lowercase(n);
            if (lower.starts_with("proxy-") || lower == "connection")
                continue;
            head += n + ": " + v + "\r\n";
        }
        head += "Connection: close\r\n\r\n";
        if (!upstream->send_all(head))
            return;
        std::string none;
        tunnel(client, *upstream, none);
        return;
    }
}

void ProxyServer::tunnel(platform::Socket& client, platform::Socket& upstream, std::string& early) {
    if (!early.empty() && !upstream.send_all(early))
        return;
    auto pump = [this](platform::Socket& from, platform::Socket& to) {
        char chunk[16384];
        for (;;) {
            auto r = service_.recv(from, chunk, sizeof chunk);
            if (r.status != platform::RecvStatus::Data || !to.send_all({chunk, r.bytes}))
                break;
        }
        // Either side ending ends the tunnel for both.
        from.shutdown_both();
        to.shutdown_both();
    };
    std::thread up([&] { pump(client, upstream); });
    pump(upstream, client);
    up.join();
}

} // namespace kest::testing
