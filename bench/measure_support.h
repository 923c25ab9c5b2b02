#pragma once
// What the whole-process measurements share: the median of a series, elapsed milliseconds, and
// reading a core's output lines until one of them is the awaited one.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "support/child_session.h"
#include "json/json.h"

namespace kest::measure {

using Clock = std::chrono::steady_clock;

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

inline double ms_since(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Reads lines until one satisfies done; false when the core falls silent first.
template <class Done> bool read_until(testing::ChildSession& core, Done done) {
    for (;;) {
        auto line = core.next_line(std::chrono::seconds(60));
        if (!line)
            return false;
        if (done(Json::parse(*line, nullptr, false)))
            return true;
    }
}

inline bool is_state(const Json& j, const char* state) {
    return j.is_object() && j.value("event", "") == "state" && j.value("state", "") == state;
}

inline bool is_reply(const Json& j, std::uint64_t id) {
    return j.is_object() && j.contains("id") && j["id"] == id;
}

} // namespace kest::measure
