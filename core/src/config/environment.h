#pragma once
// The outside settings the engine configuration depends on. Whoever starts a session reads them
// once and passes them down, so the builders below never look at the process themselves.
#include <optional>
#include <string>

#include "util/data_dir.h"

namespace kest::config {

struct ConfigEnvironment {
    std::string data_directory;            // the rule-set files lie in its "geo" folder
    std::optional<std::string> engine_log; // "KEST_ENGINE_LOG" as set, the engine's log level
    bool udp_over_tcp_disabled = false;    // "KEST_NO_UOT" is exactly "1"
};

// From the process environment and the platform's separator.
ConfigEnvironment read_config_environment();

// The same rules over any environment.
ConfigEnvironment config_environment_from(const EnvLookup& env, char sep);

} // namespace kest::config
