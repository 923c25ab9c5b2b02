#include "support/http_server.h"

#include <cstdlib>
#include <stdexcept>
#include <zlib.h>

#include "text/ascii.h"

namespace kest::testing {
namespace {

bool has_header(const HeaderPairs& headers, std::string_view name) {
    for (const auto& [n, v] : headers)
        if (text::equals_ignoring_ascii_case(n, name))
            return true;
    return false;
}

bool wants_close(const ReceivedRequest& req) {
    auto conn = req.header("Connection");
    if (conn && text::ascii_lowercase(*conn).find("close") != std::string::npos)
        return true;
    if (req.version == "HTTP/1.0")
        return !(conn && text::ascii_lowercase(*conn).find("keep-alive") != std::string::npos);
    return false;
}

} // namespace

Reply Reply::text(int status, std::string body) {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

Reply Reply::redirect(int status, std::string location) {
    Reply r;
    r.status = status;
    r.headers.emplace_back("Location", std::move(location));
    return r;
}

Reply Reply::gzipped(std::string_view plain) {
    Reply r;
    r.headers.emplace_back("Content-Encoding", "gzip");
    r.body = gzip_compress(plain);
    return r;
}

std::string gzip_compress(std::string_view plain) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&zs, static_cast<uLong>(plain.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

HttpServer::HttpServer(std::uint16_t port) {
    fallback_ = [](const ReceivedRequest&) { return Reply::text(404, "not found"); };
    auto started = service_.start(port, [this](platform::Socket& s, int n) { serve(s, n); });
    if (!started)
        throw std::runtime_error("test HTTP server cannot listen: " + started.error());
}

HttpServer::~HttpServer() {
    service_.stop();
}

std::string HttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port()) + std::string(path);
}

void HttpServer::route(const std::string& path, Reply reply) {
    std::lock_guard lock(mu_);
    routes_[path] = std::move(reply);
}

void HttpServer::set_fallback(Handler handler) {
    std::lock_guard lock(mu_);
    fallback_ = std::move(handler);
}

std::vector<ReceivedRequest> HttpServer::requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

Reply HttpServer::reply_for(const ReceivedRequest& req) {
    Handler fallback;
    {
        std::lock_guard lock(mu_);
        requests_.push_back(req);
        auto it = routes_.find(req.target.substr(0, req.target.find('?')));
        if (it != routes_.end())
            return it->second;
        fallback = fallback_;
    }
    return fallback(req);
}

void HttpServer::serve(platform::Socket& s, int number) {
    std::string buffer;
    for (;;) {
        bool bad = false;
        auto req = service_.read_request(s, buffer, bad);
        if (!req) {
            if (bad)
                s.send_all("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n"
                           "Connection: close\r\n\r\n");
            return;
        }
        req->connection = number;
        // Request bodies are not expected; one that is announced is read and dropped.
        if (auto length = req->header("Content-Length")) {
            std::size_t n = std::strtoull(length->c_str(), nullptr, 10);
            char chunk[16384];
            while (buffer.size() < n) {
                auto r = service_.recv(s, chunk, sizeof chunk);
                if (r.status != platform::RecvStatus::Data)
                    return;
                buffer.append(chunk, r.bytes);
            }
            buffer.erase(0, n);
        }

        Reply reply = reply_for(*req);
        bool close = reply.close || wants_close(*req);
        if (!service_.sleep_for(reply.delay))
            return;
        std::string head =
            "HTTP/1.1 " + std::to_string(reply.status) + " " + reason_phrase(reply.status) + "\r\n";
        for (const auto& [n, v] : reply.headers)
            head += n + ": " + v + "\r\n";
        if (!has_header(reply.headers, "Content-Length") &&
            !has_header(reply.headers, "Transfer-Encoding"))
            head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        if (close)
            head += "Connection: close\r\n";
        head += "\r\n";
        if (!s.send_all(head))
            return;
        if (!service_.sleep_for(reply.body_delay))
            return;
        if (req->method != "HEAD" && !s.send_all(reply.body))
            return;
        if (close)
            return;
    }
}

} // namespace kest::testing
