#pragma once
// Before every engine start the proxy server's host name in the outbound is replaced by an
// IPv4 address the core finds itself: two DNS-over-HTTPS endpoints asked at once, then the
// operating system's resolver, answers kept in the DohCache. When nothing answers the outbound
// stays as it was and the engine resolves the name itself.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "platform/net.h"
#include "vpn/dns/dns_endpoints.h"
#include "vpn/dns/doh_cache.h"
#include "vpn/dns/server_lookups.h"
#include "json/json.h"

namespace kest::vpn {

struct PreresolveSettings {
    // Scheme and host of the two endpoints.
    std::string endpoint_1{doh_endpoint_1};
    std::string endpoint_2{doh_endpoint_2};
    // The system resolver phase's resolver; it runs on a detached thread that may outlive the
    // call, so it owns whatever it uses.
    HostResolver system_resolver = platform::resolve_host;
    // From the start of the two DNS-over-HTTPS lookups.
    std::chrono::milliseconds doh_phase{7000};
    // From the start of the whole lookup, the system resolver's wait included.
    std::chrono::milliseconds overall{15000};
    // The process-wide cache unless another is named.
    DohCache* cache = nullptr;
    // The cache's clock.
    std::function<DohCache::Clock::time_point()> now;
};

// Every byte of the UTF-8 text outside ASCII letters, digits and "-._~" as "%XX" (uppercase).
std::string percent_encode_host(std::string_view host);

// endpoint_1 + "/resolve?name=" + encoded host + "&type=A", and endpoint_2 the same with
// "/dns-query".
std::string doh_url_1(std::string_view endpoint, std::string_view host);
std::string doh_url_2(std::string_view endpoint, std::string_view host);

// Edits the outbound's "server" (and, for a "tls" object without one, its "server_name") in
// place. Never fails; blocks for at most about settings.overall. The refusal of a lookup
// thread is a programming fault of the command and is thrown.
void preresolve_server(Json& outbound, const PreresolveSettings& settings = {});

} // namespace kest::vpn
