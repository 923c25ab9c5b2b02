#pragma once
// The bodies of the short-lived lookup threads of the server pre-resolution. Each sends exactly
// one text: an IPv4 address in dotted-decimal form, or "" when its lookup failed. A send to a
// receiver that has stopped waiting is dropped.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/channel.h"
#include "base/expected.h"
#include "text/ip_address.h"

namespace kest::vpn {

inline constexpr std::size_t doh_body_limit = 10 * 1024 * 1024;

// One DNS-over-HTTPS JSON query (GET url, "Accept: application/dns-json") on doh_http_agent().
void resolve_doh(std::string url, Channel<std::string>::Sender result);

// A resolver's addresses for a host name, in its order, or its error text. The server
// pre-resolution asks platform::resolve_host unless its settings name another.
using HostResolver = std::function<Expected<std::vector<text::IpAddress>>(std::string_view host)>;

// The first IPv4 address the resolver gives for host; IPv6 addresses are passed over.
void resolve_system(std::string host, HostResolver resolve, Channel<std::string>::Sender result);

// What resolve_doh makes of a reply: the first qualifying address of a 200 answer, else "".
std::string address_from_doh_reply(int status, std::string_view body);

} // namespace kest::vpn
