#include "config/environment.h"

#include "platform/env.h"

namespace kest::config {

ConfigEnvironment config_environment_from(const EnvLookup& env, char sep) {
    ConfigEnvironment settings;
    settings.data_directory = data_dir_from(env, sep);
    settings.engine_log = env("KEST_ENGINE_LOG");
    auto no_uot = env("KEST_NO_UOT");
    settings.udp_over_tcp_disabled = no_uot && *no_uot == "1";
    return settings;
}

ConfigEnvironment read_config_environment() {
    // The engine's two switches count only as text; the data folder keeps its own rule.
    ConfigEnvironment settings = config_environment_from(
        [](std::string_view name) { return platform::get_env_unicode(name); },
        platform::path_separator());
    settings.data_directory = data_dir();
    return settings;
}

} // namespace kest::config
