#pragma once
// The one HTTP agent of the DNS-over-HTTPS lookups, made on first use and kept until the
// process ends, so that lookups reuse its idle connections to the endpoints.
#include "net/http_agent.h"

namespace kest::vpn {

const net::HttpAgent& doh_http_agent();

} // namespace kest::vpn
