#pragma once
// The accept loop and connection threads behind the local test servers, and reading one
// HTTP/1.1 request head from a connection. Every wait is sliced so that stop() ends
// everything promptly, even a connection that is stalled on purpose.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/expected.h"
#include "platform/net.h"

namespace kest::testing {

using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

struct ReceivedRequest {
    std::string method;
    std::string target; // as the request line names it
    std::string version;
    HeaderPairs headers;
    int connection = 0; // which accepted connection carried it, counting from 1

    // The first header of that name, letter case ignored.
    std::optional<std::string> header(std::string_view name) const;
};

class TcpService {
public:
    // Serves one accepted connection on its own thread; number counts from 1.
    using Serve = std::function<void(platform::Socket& connection, int number)>;

    TcpService() = default;
    ~TcpService();
    TcpService(const TcpService&) = delete;
    TcpService& operator=(const TcpService&) = delete;

    // Listens on 127.0.0.1:port (0: any free port) and starts accepting.
    Expected<void> start(std::uint16_t port, Serve serve);
    // Stops accepting, wakes every connection thread and joins them all.
    void stop();

    std::uint16_t port() const { return port_; }
    int accepted() const { return accepted_.load(); }
    bool stopping() const { return stopping_.load(); }

    // Sleeps for d; false when stop() cut the sleep short.
    bool sleep_for(std::chrono::milliseconds d) const;
    // Waits for bytes until data arrives, the peer closes, an error occurs or stop() is called
    // (the latter two both give Error).
    platform::RecvResult recv(platform::Socket& s, char* buf, std::size_t size) const;

    // Reads one request head ("...\r\n\r\n") using and refilling buffer, which keeps the
    // bytes after it. None at the end of the connection, on stop, or on a head that is not
    // HTTP (such as a TLS handshake), in which case bad_request is set.
    std::optional<ReceivedRequest> read_request(platform::Socket& s, std::string& buffer,
                                                bool& bad_request) const;

private:
    void accept_loop();

    platform::Socket listener_;
    std::uint16_t port_ = 0;
    Serve serve_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    mutable std::mutex mu_;
    std::vector<std::thread> workers_;
};

// The reason phrase of the statuses the tests use.
std::string reason_phrase(int status);

} // namespace kest::testing
