#pragma once
// What the whole-process measurements share: the median of a series, elapsed milliseconds, and
// reading a core's output lines in the order they are asked for.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
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

// A core's output lines, each held until it is asked for: the reply to a request may come
// before or after the events it causes, and neither is lost while the other is awaited.
class HeldLines {
public:
    explicit HeldLines(testing::ChildSession& core) : core_(core) {}

    // The first line, among those held and then those still to come, that satisfies fits; it
    // is taken off, the others read on the way are held. None when the core falls silent first.
    template <class Fits> std::optional<Json> take(Fits fits) {
        for (auto it = held_.begin(); it != held_.end(); ++it) {
            if (fits(*it)) {
                Json j = std::move(*it);
                held_.erase(it);
                return j;
            }
        }
        for (;;) {
            auto line = core_.next_line(std::chrono::seconds(60));
            if (!line)
                return std::nullopt;
            Json j = Json::parse(*line, nullptr, false);
            if (fits(j))
                return j;
            held_.push_back(std::move(j));
        }
    }

private:
    testing::ChildSession& core_;
    std::deque<Json> held_;
};

inline bool is_state(const Json& j, const char* state) {
    return j.is_object() && j.value("event", "") == "state" && j.value("state", "") == state;
}

inline bool is_reply(const Json& j, std::uint64_t id) {
    return j.is_object() && j.contains("id") && j["id"] == id;
}

} // namespace kest::measure
