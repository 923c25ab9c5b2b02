#pragma once
// The HTTP client's shared vocabulary and the one thing each platform implements: a single
// GET exchange on the wire (libcurl natively, WinHTTP on Windows). Redirects, proxy choice,
// content decoding, limits and status handling are done once, above it, by net::HttpAgent,
// so both builds behave alike.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "net/proxy_env.h"
#include "net/url.h"

namespace kest::net {

enum class ProxyMode { FromEnvironment, None };

// How an agent talks to servers.
struct HttpProfile {
    // Everything of one get(): connection, TLS, every redirect, the whole body.
    std::chrono::milliseconds overall_timeout{30000};
    // Establishing one TCP connection; none leaves it to the overall time-out.
    std::optional<std::chrono::milliseconds> connect_timeout;
    // Idle connections kept for reuse per host (scheme, host, port); 0 keeps none.
    int max_idle_per_host = 0;
    // An idle connection older than this is not reused.
    std::chrono::milliseconds idle_timeout{0};
    ProxyMode proxy = ProxyMode::FromEnvironment;
    // Refuses https:// (and redirects to it).
    bool plain_http_only = false;
};

struct HttpHeader {
    std::string name;
    std::string value;
};

enum class HttpErrorKind {
    InvalidUrl,       // not an http(s) URL, or a scheme the profile refuses
    Transport,        // name resolution, connection, reset, truncated reply
    Timeout,          // the overall or the connect time-out
    Tls,              // handshake or certificate failure
    Proxy,            // unusable proxy value, proxy unreachable or refusing the tunnel
    Status,           // a final status of 400 or more; status holds it
    TooManyRedirects, // more than 10
    BodyTooLarge,     // the (decoded) body exceeds the caller's limit
    Decoding,         // a content encoding we cannot decode, or a broken gzip body
};

struct HttpError {
    HttpErrorKind kind = HttpErrorKind::Transport;
    int status = 0; // set for Status
    std::string message;
};

struct HttpResponse {
    int status = 0;
    std::string body; // decoded
};

// One request as the transport sends it.
struct HttpExchange {
    Url url;
    std::vector<HttpHeader> headers;
    std::optional<Proxy> proxy;
    std::chrono::steady_clock::time_point deadline;
};

// The final status line and the headers the agent reads.
struct HttpHead {
    int status = 0;
    std::string location;         // "" when absent
    std::string content_encoding; // "" when absent
};

// Receives one reply as it arrives. Returning false stops the transfer at once; that is not
// a failure of the exchange.
class ReplyHandler {
public:
    virtual ~ReplyHandler() = default;
    virtual bool on_head(const HttpHead& head) = 0;
    virtual bool on_body(std::string_view bytes) = 0;
};

// One GET without following redirects. Thread-safe: any number of exchanges may run at once.
// The transport keeps idle connections as the profile says and applies its connect time-out;
// every wait ends at the exchange's deadline (kind Timeout).
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual Expected<void, HttpError> exchange(const HttpExchange& request,
                                               ReplyHandler& handler) = 0;
};

std::unique_ptr<HttpTransport> make_http_transport(const HttpProfile& profile);

} // namespace kest::net
