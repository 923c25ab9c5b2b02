#pragma once
// A source of application records, so that the scans' guards, caching and locking can be driven
// with other sources than the machine's own.
#include <functional>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

using AppSource = std::function<std::vector<AppEntry>()>;

} // namespace kest::apps
