#include "vpn/dns/preresolve.h"

#include <optional>
#include <stdexcept>

#include "base/detached_thread.h"
#include "text/hex.h"
#include "text/ip_address.h"
#include "util/log.h"
#include "vpn/dns/server_lookups.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using Clock = std::chrono::steady_clock;

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

template <class... Args> void start_lookup(Args&&... args) {
    auto started = start_detached(std::forward<Args>(args)...);
    if (!started)
        throw std::runtime_error("lookup thread refused: " + started.error());
}

// Both endpoints at once; the first address wins, an empty answer waits for the other one.
std::optional<std::string> ask_doh(const std::string& host, const PreresolveSettings& settings) {
    auto [sender, receiver] = Channel<std::string>::make();
    start_lookup(resolve_doh, doh_url_1(settings.endpoint_1, host), sender);
    start_lookup(resolve_doh, doh_url_2(settings.endpoint_2, host), sender);
    sender.reset();
    auto deadline = Clock::now() + settings.doh_phase;
    for (int i = 0; i < 2; ++i) {
        auto answer = receiver.recv_until(deadline);
        if (!answer)
            return std::nullopt;
        if (!answer->empty())
            return answer;
    }
    return std::nullopt;
}

std::optional<std::string> ask_system(const std::string& host, const HostResolver& resolve,
                                      Clock::time_point deadline) {
    auto [sender, receiver] = Channel<std::string>::make();
    start_lookup(resolve_system, host, resolve, std::move(sender));
    auto answer = receiver.recv_until(deadline);
    if (!answer || answer->empty())
        return std::nullopt;
    return answer;
}

} // namespace

std::string percent_encode_host(std::string_view host) {
    std::string out;
    for (unsigned char c : host) {
        if (unreserved(c))
            out.push_back(static_cast<char>(c));
        else
            text::append_percent_escape(out, c);
    }
    return out;
}

std::string doh_url_1(std::string_view endpoint, std::string_view host) {
    return std::string(endpoint) + "/resolve?name=" + percent_encode_host(host) + "&type=A";
}

std::string doh_url_2(std::string_view endpoint, std::string_view host) {
    return std::string(endpoint) + "/dns-query?name=" + percent_encode_host(host) + "&type=A";
}

void preresolve_server(Json& outbound, const PreresolveSettings& settings) {
    auto server = outbound.find("server");
    if (server == outbound.end() || !server->is_string())
        return;
    const std::string host = server->get<std::string>();
    if (host.empty() || text::is_ip_text(host))
        return;

    DohCache& cache = settings.cache ? *settings.cache : doh_cache();
    auto now = [&] { return settings.now ? settings.now() : Clock::now(); };

    std::optional<std::string> address = cache.fresh(host, now());
    if (!address) {
        auto deadline = Clock::now() + settings.overall;
        address = ask_doh(host, settings);
        if (!address)
            address = ask_system(host, settings.system_resolver, deadline);
        if (!address) {
            log_line(LogTag::Vpn, texts::preresolve_failed);
            return;
        }
        cache.store(host, *address, now());
    }

    auto tls = outbound.find("tls");
    if (tls != outbound.end() && tls->is_object() && !tls->contains("server_name"))
        (*tls)["server_name"] = host;
    outbound["server"] = *address;
}

} // namespace kest::vpn
