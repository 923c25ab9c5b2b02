#include "net/http_transport.h"

#include <algorithm>
#include <curl/curl.h>
#include <mutex>

#include "platform/unique_handle.h"
#include "text/ascii.h"
#include "text/white_space.h"

namespace kest::net {
namespace {

using Clock = std::chrono::steady_clock;

void init_curl_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpError make_error(HttpErrorKind kind, std::string message) {
    return HttpError{kind, 0, std::move(message)};
}

struct EasyHandleTraits {
    using type = CURL*;
    static CURL* invalid() noexcept { return nullptr; }
    static void close(CURL* h) noexcept { curl_easy_cleanup(h); }
};
using EasyHandle = platform::UniqueHandle<EasyHandleTraits>;

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

// What one transfer's callbacks share.
struct Transfer {
    ReplyHandler* handler = nullptr;
    HttpHead head;
    bool head_delivered = false;
    bool stopped = false; // the handler asked to stop

    // curl hands over each header line of every response, interim ones included; the blank
    // line after a final status line completes the head.
    bool header_line(std::string_view line) {
        if (line.starts_with("HTTP/")) {
            head = HttpHead{};
            auto space = line.find(' ');
            if (space != std::string_view::npos && space + 4 <= line.size()) {
                int status = 0;
                for (std::size_t i = space + 1; i < space + 4; ++i) {
                    char c = line[i];
                    if (c < '0' || c > '9') {
                        status = 0;
                        break;
                    }
                    status = status * 10 + (c - '0');
                }
                head.status = status;
            }
            return true;
        }
        std::string_view content = text::trim_ascii_white_space(line);
        if (content.empty()) {
            if (head.status >= 200 && !head_delivered) {
                head_delivered = true;
                if (!handler->on_head(head)) {
                    stopped = true;
                    return false;
                }
            }
            return true;
        }
        auto colon = content.find(':');
        if (colon == std::string_view::npos)
            return true;
        std::string_view name = content.substr(0, colon);
        std::string value(text::trim_ascii_white_space(content.substr(colon + 1)));
        if (text::equals_ignoring_ascii_case(name, "Location"))
            head.location = value;
        else if (text::equals_ignoring_ascii_case(name, "Content-Encoding"))
            head.content_encoding = value;
        return true;
    }
};

size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    return t->header_line(std::string_view(data, size * count)) ? size * count : 0;
}

size_t on_write(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->head_delivered)
        return size * count;
    if (!t->handler->on_body(std::string_view(data, size * count))) {
        t->stopped = true;
        return 0;
    }
    return size * count;
}

bool is_tls_error(CURLcode rc) {
    switch (rc) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}

HttpErrorKind classify(CURLcode rc, bool proxied, long connect_code) {
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return HttpErrorKind::Timeout;
    if (is_tls_error(rc))
        return HttpErrorKind::Tls;
    if (rc == CURLE_COULDNT_RESOLVE_PROXY || rc == CURLE_PROXY)
        return HttpErrorKind::Proxy;
    if (proxied && (rc == CURLE_COULDNT_CONNECT || connect_code >= 300))
        return HttpErrorKind::Proxy;
    // The agent has checked the URL already; curl also says "unsupported protocol" of a
    // reply that is not HTTP, which is the server's fault, not the URL's.
    if (rc == CURLE_URL_MALFORMAT)
        return HttpErrorKind::InvalidUrl;
    return HttpErrorKind::Transport;
}

// Idle easy handles, each holding at most one open connection to the server of its key, so
// that the number of idle connections per host is the number of handles kept for it.
class CurlTransport : public HttpTransport {
public:
    explicit CurlTransport(const HttpProfile& profile) : profile_(profile) { init_curl_once(); }

    Expected<void, HttpError> exchange(const HttpExchange& request,
                                       ReplyHandler& handler) override {
        auto now = Clock::now();
        if (now >= request.deadline)
            return unexpected(make_error(HttpErrorKind::Timeout, "time-out before the request"));
        long remaining = static_cast<long>(std::max<long long>(
            1,
            std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline - now).count()));
        long connect = remaining;
        if (profile_.connect_timeout)
            connect = std::min<long>(connect, static_cast<long>(profile_.connect_timeout->count()));

        std::string key = request.url.scheme + "://" + request.url.authority();
        if (request.proxy)
            key += " via " + request.proxy->user + "@" + request.proxy->authority();
        EasyHandle handle = take(key);
        if (!handle)
            handle.reset(curl_easy_init());
        if (!handle)
            return unexpected(make_error(HttpErrorKind::Transport, "curl_easy_init failed"));

        Transfer transfer;
        transfer.handler = &handler;
        HeaderList headers;
        for (const auto& header : request.headers)
            headers.add(header.name + ": " + header.value);
        char errbuf[CURL_ERROR_SIZE] = {};
        CURL* h = handle.get();
        std::string url = request.url.text();
        std::string proxy = request.proxy ? "http://" + request.proxy->authority() : "";

        curl_easy_reset(h);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, remaining);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connect);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        // Bodies reach the agent as sent; it decodes gzip itself, as on Windows.
        curl_easy_setopt(h, CURLOPT_HTTP_CONTENT_DECODING, 0L);
        curl_easy_setopt(h, CURLOPT_USERAGENT, "kestcore");
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.list);
        // Our own proxy choice is the only one: "" turns off curl's reading of the
        // environment, for the proxy and for the exclusions alike.
        curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
        if (request.proxy) {
            curl_easy_setopt(h, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
            curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
            if (!request.proxy->user.empty()) {
                curl_easy_setopt(h, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
                curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, request.proxy->user.c_str());
                curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, request.proxy->password.c_str());
            }
        }
        curl_easy_setopt(h, CURLOPT_MAXCONNECTS, 1L);
        if (profile_.max_idle_per_host <= 0) {
            curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
        } else {
            auto secs = std::chrono::ceil<std::chrono::seconds>(profile_.idle_timeout).count();
            curl_easy_setopt(h, CURLOPT_MAXAGE_CONN, long(std::max<long long>(1, secs)));
        }
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);

        CURLcode rc = curl_easy_perform(h);
        long connect_code = 0;
        curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &connect_code);
        // The handle must not keep pointers into this frame.
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
        give_back(std::move(handle), key);

        if (rc == CURLE_OK || transfer.stopped)
            return {};
        std::string message = errbuf[0] ? errbuf : curl_easy_strerror(rc);
        return unexpected(
            make_error(classify(rc, request.proxy.has_value(), connect_code), message));
    }

private:
    struct Idle {
        EasyHandle handle;
        std::string key;
        Clock::time_point since;
    };

    // Removes the handles idle for too long; the caller closes them (by dropping them) outside
    // the lock.
    std::vector<EasyHandle> expire_locked(Clock::time_point now) {
        std::vector<EasyHandle> old;
        std::erase_if(idle_, [&](Idle& idle) {
            if (now - idle.since < profile_.idle_timeout)
                return false;
            old.push_back(std::move(idle.handle));
            return true;
        });
        return old;
    }

    EasyHandle take(const std::string& key) {
        std::vector<EasyHandle> old;
        EasyHandle found;
        {
            std::lock_guard lock(mu_);
            old = expire_locked(Clock::now());
            for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
                if (it->key == key) {
                    found = std::move(it->handle);
                    idle_.erase(std::next(it).base());
                    break;
                }
            }
        }
        return found;
    }

    void give_back(EasyHandle h, const std::string& key) {
        if (profile_.max_idle_per_host <= 0)
            return;
        std::vector<EasyHandle> old;
        {
            std::lock_guard lock(mu_);
            auto now = Clock::now();
            old = expire_locked(now);
            auto same = std::count_if(idle_.begin(), idle_.end(),
                                      [&](const Idle& idle) { return idle.key == key; });
            if (same < profile_.max_idle_per_host)
                idle_.push_back(Idle{std::move(h), key, now});
            else
                old.push_back(std::move(h));
        }
    }

    HttpProfile profile_;
    std::mutex mu_;
    std::vector<Idle> idle_;
};

} // namespace

std::unique_ptr<HttpTransport> make_http_transport(const HttpProfile& profile) {
    return std::make_unique<CurlTransport>(profile);
}

} // namespace kest::net
