#pragma once
// The three ways the core talks HTTP.
#include "net/http_transport.h"

namespace kest::net {

// DNS-over-HTTPS lookups: 6 s in all, 4 s to connect, 2 idle connections per host kept 30 s,
// proxy from the environment.
HttpProfile doh_profile();

// Rule-set downloads: 30 s in all, no idle connections, proxy from the environment.
HttpProfile download_profile();

// The engine's local control interface: 4 s in all, no idle connections, no proxy whatever
// the environment says, plain http only.
HttpProfile control_profile();

} // namespace kest::net
