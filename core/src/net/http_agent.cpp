#include "net/http_agent.h"

#include <optional>

#include "net/gzip_decoder.h"
#include "text/ascii.h"
#include "text/white_space.h"

namespace kest::net {
namespace {

HttpError make_error(HttpErrorKind kind, std::string message, int status = 0) {
    return HttpError{kind, status, std::move(message)};
}

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool has_header(const std::vector<HttpHeader>& headers, std::string_view name) {
    for (const auto& h : headers)
        if (text::equals_ignoring_ascii_case(h.name, name))
            return true;
    return false;
}

// Collects one reply: decodes and keeps the body of a final answer, and reads past the body
// of a redirect or an error status (a little of it, so that the connection may be reused).
class BodyCollector : public ReplyHandler {
public:
    explicit BodyCollector(std::size_t limit) : limit_(limit) {}

    bool on_head(const HttpHead& head) override {
        head_ = head;
        discard_ = head.status >= 400 || (is_redirect(head.status) && !head.location.empty());
        if (discard_)
            return true;
        std::string encoding =
            text::ascii_lowercase(text::trim_ascii_white_space(head.content_encoding));
        if (encoding == "gzip" || encoding == "x-gzip") {
            gzip_.emplace();
        } else if (!encoding.empty() && encoding != "identity") {
            fault_ = make_error(HttpErrorKind::Decoding,
                                "unsupported content encoding: " + head.content_encoding);
            return false;
        }
        return true;
    }

    bool on_body(std::string_view bytes) override {
        if (discard_) {
            discarded_ += bytes.size();
            return discarded_ <= discard_allowance;
        }
        if (bytes.empty())
            return true;
        fed_any_ = true;
        if (!gzip_) {
            if (bytes.size() > limit_ - body_.size()) {
                fault_ = too_large();
                return false;
            }
            body_.append(bytes);
            return true;
        }
        switch (gzip_->feed(bytes, body_, limit_)) {
        case GzipStatus::Ok:
            return true;
        case GzipStatus::TooLarge:
            fault_ = too_large();
            return false;
        case GzipStatus::Malformed:
            fault_ = make_error(HttpErrorKind::Decoding, "malformed gzip body");
            return false;
        }
        return false;
    }

    // After a complete transfer: a gzip body must have ended properly.
    std::optional<HttpError> finish() const {
        if (gzip_ && fed_any_ && gzip_->finish() != GzipStatus::Ok)
            return make_error(HttpErrorKind::Decoding, "truncated gzip body");
        return std::nullopt;
    }

    const std::optional<HttpHead>& head() const { return head_; }
    const std::optional<HttpError>& fault() const { return fault_; }
    std::string take_body() { return std::move(body_); }

private:
    static constexpr std::size_t discard_allowance = 64 * 1024;

    HttpError too_large() const {
        return make_error(HttpErrorKind::BodyTooLarge,
                          "response body exceeds " + std::to_string(limit_) + " bytes");
    }

    std::size_t limit_;
    std::optional<HttpHead> head_;
    std::optional<HttpError> fault_;
    std::optional<GzipDecoder> gzip_;
    std::string body_;
    bool discard_ = false;
    bool fed_any_ = false;
    std::size_t discarded_ = 0;
};

} // namespace

HttpAgent::HttpAgent(const HttpProfile& profile)
    : profile_(profile), transport_(make_http_transport(profile)) {
    if (profile_.proxy == ProxyMode::FromEnvironment)
        proxy_env_ = read_proxy_env();
}

Expected<HttpResponse, HttpError> HttpAgent::get(std::string_view url_text,
                                                 const std::vector<HttpHeader>& extra,
                                                 std::size_t body_limit) const {
    auto deadline = std::chrono::steady_clock::now() + profile_.overall_timeout;
    auto parsed = parse_url(url_text);
    if (!parsed)
        return unexpected(make_error(HttpErrorKind::InvalidUrl, parsed.error()));
    Url url = std::move(*parsed);

    std::vector<HttpHeader> headers = extra;
    if (!has_header(headers, "Accept-Encoding"))
        headers.push_back({"Accept-Encoding", "gzip"});

    for (int redirects = 0;; ++redirects) {
        if (profile_.plain_http_only && url.scheme != "http")
            return unexpected(
                make_error(HttpErrorKind::InvalidUrl, "only plain http is allowed: " + url.text()));
        std::optional<Proxy> proxy;
        if (profile_.proxy == ProxyMode::FromEnvironment) {
            auto chosen = choose_proxy(proxy_env_, url);
            if (!chosen)
                return unexpected(make_error(HttpErrorKind::Proxy, chosen.error()));
            proxy = std::move(*chosen);
        }

        BodyCollector collector(body_limit);
        auto done = transport_->exchange(HttpExchange{url, headers, proxy, deadline}, collector);
        if (collector.fault())
            return unexpected(*collector.fault());
        if (!collector.head()) {
            if (!done)
                return unexpected(done.error());
            return unexpected(make_error(HttpErrorKind::Transport, "no response"));
        }
        const HttpHead& head = *collector.head();
        if (head.status >= 400)
            return unexpected(make_error(
                HttpErrorKind::Status, "HTTP status " + std::to_string(head.status), head.status));
        if (is_redirect(head.status) && !head.location.empty()) {
            if (redirects == max_redirects)
                return unexpected(
                    make_error(HttpErrorKind::TooManyRedirects,
                               "more than " + std::to_string(max_redirects) + " redirects"));
            auto next = resolve_url(url, text::trim_ascii_white_space(head.location));
            if (!next)
                return unexpected(make_error(HttpErrorKind::InvalidUrl,
                                             "bad redirect location: " + next.error()));
            // Credentials meant for one server are not handed to another one.
            if (!next->same_origin(url))
                std::erase_if(headers, [](const HttpHeader& h) {
                    return text::equals_ignoring_ascii_case(h.name, "Authorization");
                });
            url = std::move(*next);
            continue;
        }
        if (!done)
            return unexpected(done.error());
        if (auto bad = collector.finish())
            return unexpected(*bad);
        return HttpResponse{head.status, collector.take_body()};
    }
}

std::shared_ptr<HttpAgent> make_http_agent(const HttpProfile& profile) {
    return std::make_shared<HttpAgent>(profile);
}

} // namespace kest::net
