#pragma once
// The catalogue document compiled into the core.
#include <string_view>

namespace kest::config {

std::string_view stored_services_document();

} // namespace kest::config
