#pragma once
// The catalogue document compiled into the core, kept in the tree as services_catalog.json.
// Keys and aliases are lowercase, free of "." and never shared between two services; each
// service's domains and address ranges are what routing that service needs.
#include <string_view>

namespace kest::config {

std::string_view stored_services_document();

} // namespace kest::config
