#pragma once
// The HTTP client every caller of the core uses: an agent made from a profile, shared by any
// number of threads, that GETs a URL and hands back the status and the decoded body.
//
// Behaviour that does not depend on the platform lives here: the proxy choice (taken from the
// environment once, when the agent is made), "Accept-Encoding: gzip" and the decoding of gzip
// bodies, at most 10 redirects (301, 302, 303, 307, 308, each hop choosing its own proxy, an
// "Authorization" header dropped when a redirect leaves the scheme, host and port it was
// meant for), the body limit, and statuses of 400 or more reported as errors.
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "net/http_transport.h"
#include "net/proxy_env.h"

namespace kest::net {

inline constexpr int max_redirects = 10;

class HttpAgent {
public:
    explicit HttpAgent(const HttpProfile& profile);

    // GET url with the extra headers. The body (after gzip decoding) may hold at most
    // body_limit bytes; a longer one is BodyTooLarge.
    Expected<HttpResponse, HttpError>
    get(std::string_view url, const std::vector<HttpHeader>& headers, std::size_t body_limit) const;

    const HttpProfile& profile() const { return profile_; }

private:
    HttpProfile profile_;
    ProxyEnv proxy_env_;
    std::unique_ptr<HttpTransport> transport_;
};

std::shared_ptr<HttpAgent> make_http_agent(const HttpProfile& profile);

} // namespace kest::net
