#pragma once
// The parameters of a "connect" request as the front end sends them: an object of named keys
// or an array of the same values by position.
#include <string>
#include <vector>

#include "base/expected.h"
#include "json/json.h"

namespace kest::vpn {

// An application chosen for routing, as the front end sends back an application entry.
struct RoutingApp {
    std::string name; // decoded, never used
    std::string exe_path;
};

struct ConnectParams {
    std::string link;
    std::string mode;
    std::vector<RoutingApp> apps;
    std::vector<std::string> sites;
    bool reload = false;
};

// The error is the decoder's message without a position, naming "struct ConnectParams" or
// "struct RoutingApp" when a value of the wrong kind stands where a record was expected.
Expected<ConnectParams> decode_connect_params(const Json& params);

} // namespace kest::vpn
