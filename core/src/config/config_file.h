#pragma once
// The engine's configuration file, built from the proxy outbound, the routing plan and the
// session's control values.
#include <cstdint>
#include <optional>
#include <string>

#include "base/expected.h"
#include "config/route_plan.h"
#include "json/json.h"

namespace kest::config {

// What the document holds besides the proxy outbound and the routing plan.
struct ConfigInputs {
    std::string secret;         // the control interface's bearer secret
    std::uint16_t port = 0;     // the control interface's port on 127.0.0.1
    std::string dns_local;      // the resolver for local names; empty: the system's own
    std::string config_path;    // where the file goes; the engine's cache file lies beside it
    std::string data_directory; // ConfigEnvironment::data_directory
    std::optional<std::string> engine_log; // ConfigEnvironment::engine_log
};

// The document's compact text, keys in byte order, without a trailing newline. Looks only at
// which rule-set files exist below the data directory, so the same inputs and the same files
// give the same text.
Expected<std::string> render_engine_config(const Json& outbound, const RoutePlan& plan,
                                           const ConfigInputs& inputs);

// Writes render_engine_config atomically to inputs.config_path and returns the text written.
// On failure the previous file is left as it was and the error is the system's text.
Expected<std::string> build_engine_config(const Json& outbound, const RoutePlan& plan,
                                          const ConfigInputs& inputs);

} // namespace kest::config
