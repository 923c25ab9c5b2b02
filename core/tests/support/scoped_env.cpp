#include "support/scoped_env.h"

#include "platform/env.h"

namespace kest::testing {

void ScopedEnv::set(const std::string& name, std::optional<std::string> value) {
    saved_.emplace_back(name, platform::get_env(name));
    platform::set_env(name, value);
}

ScopedEnv::~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
        platform::set_env(it->first, it->second);
}

} // namespace kest::testing
