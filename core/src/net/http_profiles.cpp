#include "net/http_profiles.h"

namespace kest::net {

using std::chrono::seconds;

HttpProfile doh_profile() {
    HttpProfile p;
    p.overall_timeout = seconds(6);
    p.connect_timeout = seconds(4);
    p.max_idle_per_host = 2;
    p.idle_timeout = seconds(30);
    p.proxy = ProxyMode::FromEnvironment;
    return p;
}

HttpProfile download_profile() {
    HttpProfile p;
    p.overall_timeout = seconds(30);
    p.max_idle_per_host = 0;
    p.proxy = ProxyMode::FromEnvironment;
    return p;
}

HttpProfile control_profile() {
    HttpProfile p;
    p.overall_timeout = seconds(4);
    p.max_idle_per_host = 0;
    p.proxy = ProxyMode::None;
    p.plain_http_only = true;
    return p;
}

} // namespace kest::net
