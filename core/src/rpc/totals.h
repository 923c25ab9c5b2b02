#pragma once
// The traffic totals of the engine's "/connections" answer.
#include <cstdint>
#include <string_view>

#include "base/expected.h"

namespace kest::rpc {

struct Totals {
    std::int64_t upload_total = 0;
    std::int64_t download_total = 0;
};

Expected<Totals> parse_totals(std::string_view body);

} // namespace kest::rpc
