#include "support/tcp_service.h"

#include "text/ascii.h"

namespace kest::testing {
namespace {

constexpr auto slice = std::chrono::milliseconds(20);
constexpr std::size_t max_head = 64 * 1024;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool printable_ascii(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c >= 0x7F)
            return false;
    return true;
}

std::optional<ReceivedRequest> parse_head(std::string_view head) {
    ReceivedRequest req;
    auto eol = head.find("\r\n");
    std::string_view line = head.substr(0, eol);
    auto sp1 = line.find(' ');
    auto sp2 = line.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1 || !printable_ascii(line))
        return std::nullopt;
    req.method = std::string(line.substr(0, sp1));
    req.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    req.version = std::string(line.substr(sp2 + 1));
    if (!req.version.starts_with("HTTP/1."))
        return std::nullopt;
    std::string_view rest = eol == std::string_view::npos ? "" : head.substr(eol + 2);
    while (!rest.empty()) {
        auto end = rest.find("\r\n");
        std::string_view h = rest.substr(0, end);
        rest = end == std::string_view::npos ? "" : rest.substr(end + 2);
        if (h.empty())
            continue;
        auto colon = h.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        req.headers.emplace_back(std::string(trim(h.substr(0, colon))),
                                 std::string(trim(h.substr(colon + 1))));
    }
    return req;
}

} // namespace

std::optional<std::string> ReceivedRequest::header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (text::equals_ignoring_ascii_case(n, name))
            return v;
    return std::nullopt;
}

TcpService::~TcpService() {
    stop();
}

Expected<void> TcpService::start(std::uint16_t port, Serve serve) {
    auto listener = platform::listen_loopback(port);
    if (!listener)
        return unexpected(listener.error());
    listener_ = std::move(*listener);
    port_ = listener_.local_port();
    serve_ = std::move(serve);
    acceptor_ = std::thread([this] { accept_loop(); });
    return {};
}

void TcpService::accept_loop() {
    while (!stopping_) {
        auto conn = platform::accept_connection(listener_, slice);
        if (!conn)
            continue;
        int number = ++accepted_;
        std::lock_guard lock(mu_);
        workers_.emplace_back([this, number, s = std::move(*conn)]() mutable {
            serve_(s, number);
            s.shutdown_both();
        });
    }
}

void TcpService::stop() {
    if (stopping_.exchange(true))
        return;
    if (acceptor_.joinable())
        acceptor_.join();
    listener_.close();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mu_);
        workers.swap(workers_);
    }
    for (auto& t : workers)
        t.join();
}

bool TcpService::sleep_for(std::chrono::milliseconds d) const {
    auto end = std::chrono::steady_clock::now() + d;
    while (std::chrono::steady_clock::now() < end) {
        if (stopping_)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(slice, left));
    }
    return !stopping_;
}

platform::RecvResult TcpService::recv(platform::Socket& s, char* buf, std::size_t size) const {
    for (;;) {
        if (stopping_)
            return {platform::RecvStatus::Error};
        auto r = s.recv(buf, size, slice);
        if (r.status != platform::RecvStatus::TimedOut)
            return r;
    }
}

std::optional<ReceivedRequest> TcpService::read_request(platform::Socket& s, std::string& buffer,
                                                        bool& bad_request) const {
    bad_request = false;
    char chunk[16384];
    for (;;) {
        auto end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            auto req = parse_head(std::string_view(buffer).substr(0, end + 2));
            buffer.erase(0, end + 4);
            if (!req)
                bad_request = true;
            return req;
        }
        // A TLS handshake or other binary data never forms a head: give up early.
        if (buffer.size() > max_head || (!buffer.empty() && buffer[0] == '\x16')) {
            bad_request = true;
            return std::nullopt;
        }
        auto r = recv(s, chunk, sizeof chunk);
        if (r.status != platform::RecvStatus::Data)
            return std::nullopt;
        buffer.append(chunk, r.bytes);
    }
}

std::string reason_phrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    default:
        return "Status";
    }
}

} // namespace kest::testing
