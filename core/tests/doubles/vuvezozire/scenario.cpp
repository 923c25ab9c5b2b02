#include "scenario.h"

#include <cstdlib>

#include "platform/env.h"

namespace kest::engine_double {

Scenario read_scenario() {
    Scenario s;
    s.connections_body = platform::get_env("KEST_DOUBLE_CONNECTIONS_BODY")
                             .value_or(R"({"downloadTotal":0,"uploadTotal":0,"connections":[]})");
    if (auto pad = platform::get_env("KEST_DOUBLE_CONNECTIONS_PAD")) {
        std::size_t size = std::strtoull(pad->c_str(), nullptr, 10);
        if (s.connections_body.size() < size)
            s.connections_body.append(size - s.connections_body.size(), ' ');
    }
    if (auto record = platform::get_env("KEST_DOUBLE_RECORD"); record && !record->empty())
        s.record_path = *record;
    return s;
}

} // namespace kest::engine_double
