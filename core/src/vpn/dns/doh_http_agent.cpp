#include "vpn/dns/doh_http_agent.h"

#include "net/http_profiles.h"

namespace kest::vpn {

// Never destroyed: a detached lookup thread may still be using it while the process exits.
const net::HttpAgent& doh_http_agent() {
    static const auto* agent =
        new std::shared_ptr<net::HttpAgent>(net::make_http_agent(net::doh_profile()));
    return **agent;
}

} // namespace kest::vpn
