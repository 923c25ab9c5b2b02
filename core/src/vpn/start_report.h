#pragma once
// The engine's one-line verdict after a start or a reload.
#include <string>
#include <string_view>

#include "base/expected.h"

namespace kest::vpn {

struct StartReport {
    bool ok = false;
    std::string kind;
    std::string error;
};

// The error is the JSON decoder's text.
Expected<StartReport> parse_start_report(std::string_view text);

} // namespace kest::vpn
