#pragma once
// An HTTP proxy double on 127.0.0.1: CONNECT requests are recorded and tunnelled, plain
// requests in absolute form ("GET http://127.0.0.1:PORT/path") are recorded and forwarded.
// It only reaches servers on 127.0.0.1 or localhost; other targets get 502.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "support/tcp_service.h"

namespace kest::testing {

class ProxyServer {
public:
    // Throws std::runtime_error when it cannot listen.
    ProxyServer();
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    std::uint16_t port() const { return service_.port(); }
    // "http://127.0.0.1:PORT", the form the proxy variables take.
    std::string address() const;

    // Answers 407 to requests without "Proxy-Authorization: Basic" for these credentials.
    void require_basic_auth(const std::string& user, const std::string& password);

    // "host:port" of every CONNECT request that was let through, in order.
    std::vector<std::string> connect_targets() const;
    // The absolute-form targets of the plain requests that were forwarded, in order.
    std::vector<std::string> forwarded() const;
    int connections() const { return service_.accepted(); }

private:
    void serve(platform::Socket& client, int number);
    void tunnel(platform::Socket& client, platform::Socket& upstream, std::string& early);
    bool authorized(const ReceivedRequest& req) const;

    TcpService service_;
    mutable std::mutex mu_;
    std::string expected_auth_; // the whole header value, "" when none is needed
    std::vector<std::string> connect_targets_;
    std::vector<std::string> forwarded_;
};

} // namespace kest::testing
