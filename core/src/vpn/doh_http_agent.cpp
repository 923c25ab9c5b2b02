#include "vpn/doh_http_agent.h"

#include "net/http_profiles.h"

namespace kest::vpn {

const net::HttpAgent& doh_http_agent() {
    static const std::shared_ptr<net::HttpAgent> agent = net::make_http_agent(net::doh_profile());
    return *agent;
}

} // namespace kest::vpn
