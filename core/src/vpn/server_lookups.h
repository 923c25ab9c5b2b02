#pragma once
// The bodies of the short-lived lookup threads of the server pre-resolution. Each sends exactly
// one text: an IPv4 address in dotted-decimal form, or "" when its lookup failed. A send to a
// receiver that has stopped waiting is dropped.
#include <cstddef>
#include <string>

#include "base/channel.h"

namespace kest::vpn {

inline constexpr std::size_t doh_body_limit = 10 * 1024 * 1024;

// One DNS-over-HTTPS JSON query (GET url, "Accept: application/dns-json") on doh_http_agent().
void resolve_doh(std::string url, Channel<std::string>::Sender result);

// The first IPv4 address the operating system's resolver gives for host.
void resolve_system(std::string host, Channel<std::string>::Sender result);

// What resolve_doh makes of a reply: the first qualifying address of a 200 answer, else "".
std::string address_from_doh_reply(int status, std::string_view body);

} // namespace kest::vpn
