#include "net/http_transport.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "base/detached_thread.h"
#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"

#include <winhttp.h>

namespace kest::net {
namespace {

using Clock = std::chrono::steady_clock;
namespace w32 = kest::platform::win32;

HttpError make_error(HttpErrorKind kind, std::string message) {
    return HttpError{kind, 0, std::move(message)};
}

struct InternetHandleTraits {
    using type = HINTERNET;
    static HINTERNET invalid() noexcept { return nullptr; }
    static void close(HINTERNET h) noexcept { WinHttpCloseHandle(h); }
};
using InternetHandle = platform::UniqueHandle<InternetHandleTraits>;

// WinHTTP's codes live in winhttp.dll's message table, not in the system's.
std::string winhttp_text(DWORD code) {
    return w32::error_text(code, GetModuleHandleW(L"winhttp.dll"));
}

HttpErrorKind classify(DWORD code, bool proxied) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT: // Wine passes the socket's own code through
        return HttpErrorKind::Timeout;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return HttpErrorKind::Tls;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return proxied ? HttpErrorKind::Proxy : HttpErrorKind::Transport;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        return HttpErrorKind::InvalidUrl;
    default:
        return HttpErrorKind::Transport;
    }
}

HttpError last_error(bool proxied) {
    DWORD code = GetLastError();
    return make_error(classify(code, proxied), winhttp_text(code));
}

std::optional<std::string> query_text_header(HINTERNET request, DWORD which) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::nullopt;
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1);
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, buf.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    return w32::narrow(buf.data(), size / sizeof(wchar_t));
}

// The Content-Length of a reply whose body is sent as is, when it has one.
std::optional<std::uint64_t> announced_length(HINTERNET request, int status) {
    if (status < 200 || status == 204 || status == 304 ||
        query_text_header(request, WINHTTP_QUERY_TRANSFER_ENCODING))
        return std::nullopt;
    auto text = query_text_header(request, WINHTTP_QUERY_CONTENT_LENGTH);
    if (!text || text->empty() || text->size() > 19)
        return std::nullopt;
    std::uint64_t n = 0;
    for (char c : *text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + std::uint64_t(c - '0');
    }
    return n;
}

// What the caller and the thread that talks to WinHTTP share. WinHTTP's own time-outs apply
// to each wait for bytes, so a server that sends one byte now and then could hold a call
// forever; the caller therefore waits for the exchange only until the deadline, and the thread
// it leaves behind stops touching the caller's handler.
struct Handoff {
    std::mutex mu;
    std::condition_variable cv;
    ReplyHandler* handler = nullptr; // cleared when the caller stops waiting
    bool done = false;
    Expected<void, HttpError> result;

    // Runs f on the handler; false without running it once the caller has given up.
    template <class F> bool deliver(F f) {
        std::lock_guard lock(mu);
        return handler && f(*handler);
    }
};

HttpError timed_out() {
    return make_error(HttpErrorKind::Timeout, "the operation timed out");
}

// One GET on the session, synchronously.
Expected<void, HttpError> talk(HINTERNET session, const HttpExchange& request,
                               const HttpProfile& profile, Handoff& handoff) {
    bool proxied = request.proxy.has_value();
    auto remaining = [&]() -> int {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline - Clock::now());
        // WinHTTP reads 0 as "no time-out".
        return static_cast<int>(std::clamp<long long>(left.count(), 0, 0x7fffffff));
    };
    InternetHandle connection(
        WinHttpConnect(session, w32::wide(request.url.host).c_str(), request.url.port, 0));
    if (!connection)
        return unexpected(last_error(proxied));
    DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    if (request.url.scheme == "https")
        flags |= WINHTTP_FLAG_SECURE;
    InternetHandle req(WinHttpOpenRequest(connection.get(), L"GET",
                                          w32::wide(request.url.target()).c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!req)
        return unexpected(last_error(proxied));

    DWORD features = WINHTTP_DISABLE_REDIRECTS;
    if (profile.max_idle_per_host <= 0)
        features |= WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(req.get(), WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);

    std::wstring proxy_user;
    std::wstring proxy_password;
    if (proxied && !request.proxy->user.empty()) {
        proxy_user = w32::wide(request.proxy->user);
        proxy_password = w32::wide(request.proxy->password);
    }

    std::wstring headers;
    for (const auto& h : request.headers)
        headers += w32::wide(h.name + ": " + h.value + "\r\n");
    if (!headers.empty() &&
        !WinHttpAddRequestHeaders(req.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return unexpected(last_error(proxied));

    DWORD status = 0;
    for (int attempt = 0;; ++attempt) {
        int left = remaining();
        if (left <= 0)
            return unexpected(timed_out());
        int connect = left;
        if (profile.connect_timeout)
            connect = std::min<int>(connect, static_cast<int>(profile.connect_timeout->count()));
        WinHttpSetTimeouts(req.get(), left, std::max(1, connect), left, left);
        // Waiting for the status line has a time-out of its own.
        DWORD wait = static_cast<DWORD>(left);
        WinHttpSetOption(req.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof wait);
        if (!proxy_user.empty())
            WinHttpSetCredentials(req.get(), WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                                  proxy_user.c_str(), proxy_password.c_str(), nullptr);
        if (!WinHttpSendRequest(req.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
            return unexpected(last_error(proxied));
        if (!WinHttpReceiveResponse(req.get(), nullptr))
            return unexpected(last_error(proxied));
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX))
            return unexpected(last_error(proxied));
        // A proxy that asks for the credentials we hold gets them once more.
        if (status == 407 && !proxy_user.empty() && attempt == 0)
            continue;
        break;
    }

    HttpHead head;
    head.status = static_cast<int>(status);
    head.location = query_text_header(req.get(), WINHTTP_QUERY_LOCATION).value_or("");
    head.content_encoding =
        query_text_header(req.get(), WINHTTP_QUERY_CONTENT_ENCODING).value_or("");
    if (!handoff.deliver([&](ReplyHandler& h) { return h.on_head(head); }))
        return {};

    auto announced = announced_length(req.get(), head.status);
    std::uint64_t received = 0;
    // Asking what is there before reading it: a read of a whole buffer would wait until the
    // buffer is full, however long the server takes.
    std::vector<char> buf(64 * 1024);
    for (;;) {
        DWORD left = static_cast<DWORD>(remaining());
        if (left == 0)
            return unexpected(timed_out());
        WinHttpSetOption(req.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(req.get(), &available))
            return unexpected(last_error(proxied));
        if (available == 0)
            break;
        DWORD got = 0;
        DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buf.size()));
        if (!WinHttpReadData(req.get(), buf.data(), want, &got))
            return unexpected(last_error(proxied));
        if (got == 0)
            break;
        received += got;
        if (!handoff.deliver(
                [&](ReplyHandler& h) { return h.on_body(std::string_view(buf.data(), got)); }))
            return {};
    }
    // WinHTTP ends a body quietly when the connection closes early.
    if (announced && received < *announced)
        return unexpected(make_error(HttpErrorKind::Transport,
                                     "the connection closed after " + std::to_string(received) +
                                         " of " + std::to_string(*announced) + " body bytes"));
    return {};
}

// The session owns WinHTTP's pool of idle connections. It is replaced once it has been idle
// longer than the profile allows, which closes the connections it kept; a request still
// running on the old one keeps it alive until it ends.
class WinHttpTransport : public HttpTransport {
public:
    explicit WinHttpTransport(const HttpProfile& profile) : profile_(profile) {}

    Expected<void, HttpError> exchange(const HttpExchange& request,
                                       ReplyHandler& handler) override {
        if (Clock::now() >= request.deadline)
            return unexpected(timed_out());
        std::wstring proxy_name = request.proxy ? w32::wide(request.proxy->authority()) : L"";
        auto session = session_for(proxy_name);
        if (!session)
            return unexpected(last_error(false));

        auto handoff = std::make_shared<Handoff>();
        handoff->handler = &handler;
        auto job = [session, request, profile = profile_, handoff] {
            auto result = talk(session->get(), request, profile, *handoff);
            std::lock_guard lock(handoff->mu);
            handoff->result = std::move(result);
            handoff->done = true;
            handoff->cv.notify_all();
        };
        if (!start_detached(job))
            job(); // no thread to be had: at least the request is made

        std::unique_lock lock(handoff->mu);
        bool done = handoff->cv.wait_until(lock, request.deadline, [&] { return handoff->done; });
        touch(proxy_name);
        if (!done) {
            handoff->handler = nullptr;
            return unexpected(timed_out());
        }
        return handoff->result;
    }

private:
    struct Session {
        std::shared_ptr<InternetHandle> handle;
        Clock::time_point last_used{};
    };

    void touch(const std::wstring& proxy_name) {
        std::lock_guard lock(mu_);
        sessions_[proxy_name].last_used = Clock::now();
    }

    // One session per proxy ("" for none): the proxy is a property of the session, and a
    // session without one never consults the system's proxy settings.
    std::shared_ptr<InternetHandle> session_for(const std::wstring& proxy_name) {
        std::lock_guard lock(mu_);
        auto now = Clock::now();
        Session& s = sessions_[proxy_name];
        bool stale = profile_.max_idle_per_host > 0 && now - s.last_used >= profile_.idle_timeout;
        if (!s.handle || stale) {
            HINTERNET h = proxy_name.empty()
                              ? WinHttpOpen(L"kestcore", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                              : WinHttpOpen(L"kestcore", WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                            proxy_name.c_str(), WINHTTP_NO_PROXY_BYPASS, 0);
            if (!h)
                return nullptr;
            if (profile_.max_idle_per_host > 0) {
                DWORD conns = static_cast<DWORD>(profile_.max_idle_per_host);
                WinHttpSetOption(h, WINHTTP_OPTION_MAX_CONNS_PER_SERVER, &conns, sizeof conns);
                WinHttpSetOption(h, WINHTTP_OPTION_MAX_CONNS_PER_1_0_SERVER, &conns, sizeof conns);
            }
            s.handle = std::make_shared<InternetHandle>(h);
        }
        s.last_used = now;
        return s.handle;
    }

    HttpProfile profile_;
    std::mutex mu_;
    std::map<std::wstring, Session> sessions_;
};

} // namespace

std::unique_ptr<HttpTransport> make_http_transport(const HttpProfile& profile) {
    return std::make_unique<WinHttpTransport>(profile);
}

} // namespace kest::net
