#pragma once
// A source of application records, so that the scans' guards, caching and locking can be driven
// with other sources than the machine's own.
#include <functional>
#include <string_view>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

using AppSource = std::function<std::vector<AppEntry>()>;

// The source's records made unique, sorted and rid of the core's own executables. A fault on
// the way is logged as fault_text alone (its own description stays out) and gives the empty
// list.
std::vector<AppEntry> tidy_app_list_guarded(const AppSource& source, std::string_view fault_text);

} // namespace kest::apps
