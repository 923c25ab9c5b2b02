#pragma once
// The engine's configuration file, built from the proxy outbound, the routing plan and the
// session's control values.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/expected.h"
#include "config/route_plan.h"
#include "json/json.h"

namespace kest::config {

// The document's compact text, keys in byte order, without a trailing newline. Reads
// "KEST_ENGINE_LOG", the data directory and which rule-set files exist, so the same inputs and
// the same files give the same text.
Expected<std::string> render_engine_config(const Json& outbound, const RoutePlan& plan,
                                           std::string_view secret, std::uint16_t port,
                                           std::string_view dns_local, std::string_view path);

// Writes render_engine_config atomically to path and returns the text written. On failure the
// previous file is left as it was and the error is the system's text.
Expected<std::string> build_engine_config(const Json& outbound, const RoutePlan& plan,
                                          std::string_view secret, std::uint16_t port,
                                          std::string_view dns_local, const std::string& path);

} // namespace kest::config
