#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: scripted replies per path, keep-alive,
// delays, and a record of the requests and connections it received.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "support/tcp_service.h"

namespace kest::testing {

struct Reply {
    int status = 200;
    HeaderPairs headers;
    std::string body;
    // Before the status line (a server that is slow to answer).
    std::chrono::milliseconds delay{0};
    // Between the head and the body (a server that stalls in the middle of the reply).
    std::chrono::milliseconds body_delay{0};
    // Ends the connection after this reply even when the client would keep it.
    bool close = false;

    static Reply text(int status, std::string body);
    static Reply redirect(int status, std::string location);
    // The body gzip-compressed, with "Content-Encoding: gzip".
    static Reply gzipped(std::string_view plain);
};

// gzip framing of the bytes (zlib, default level).
std::string gzip_compress(std::string_view plain);

class HttpServer {
public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;

    // Listens on port (0: a free one); throws std::runtime_error when it cannot.
    explicit HttpServer(std::uint16_t port = 0);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t port() const { return service_.port(); }
    // "http://127.0.0.1:PORT" followed by path.
    std::string url(std::string_view path) const;

    // The reply for requests whose path (the target without its query) equals path.
    void route(const std::string& path, Reply reply);
    // Answers every request without a route; the default answers 404.
    void set_fallback(Handler handler);

    std::vector<ReceivedRequest> requests() const;
    int connections() const { return service_.accepted(); }

    void stop() { service_.stop(); }

private:
    void serve(platform::Socket& s, int number);
    Reply reply_for(const ReceivedRequest& req);

    TcpService service_;
    mutable std::mutex mu_;
    std::map<std::string, Reply> routes_;
    Handler fallback_;
    std::vector<ReceivedRequest> requests_;
};

} // namespace kest::testing
