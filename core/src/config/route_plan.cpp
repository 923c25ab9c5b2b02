#include "config/route_plan.h"

#include <algorithm>

#include "text/ascii.h"

namespace kest::config {

void PlanList::append(std::string_view text) {
    bool present = std::any_of(items_.begin(), items_.end(), [&](const std::string& item) {
        return text::equals_ignoring_ascii_case(item, text);
    });
    if (!present)
        items_.emplace_back(text);
}

} // namespace kest::config
