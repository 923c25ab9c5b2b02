#pragma once
// The routing plan of one "connect" request, made from the front end's choice of mode,
// applications and sites.
#include <functional>
#include <string_view>

#include "config/route_plan.h"
#include "config/services_catalog.h"
#include "vpn/session/connect_params.h"

namespace kest::vpn {

// The site-list entry that asks for the built-in RU preset instead of naming a site.
inline constexpr std::string_view kRuPresetToken = "preset:all_ru";

using ServiceLookup = std::function<const config::Service*(std::string_view)>;

// Nothing is refused: a site that is neither an address, a range nor a known service is a domain
// name, and an application whose path yields nothing adds nothing. Services are named through
// find (the built-in catalogue unless a caller passes its own).
config::RoutePlan build_route_plan(const ConnectParams& params,
                                   const ServiceLookup& find = config::find_service);

} // namespace kest::vpn
