#pragma once
// What the whole-process measurements share: their count argument and their failures, the
// median of a series, elapsed milliseconds, and reading a core's output lines in the order they
// are asked for.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/child_session.h"
#include "json/json.h"

namespace kest::measure {

using Clock = std::chrono::steady_clock;

// What a measure cannot go on without: an answer, an event or a report that does not come, or
// comes without what was asked. A figure computed without it would mean nothing, so the measure
// stops instead.
struct Missing : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs a measure's body with the count given as the program's one optional argument, or
// fallback without one. The exit code is the body's; it is 1, with a line on stderr saying
// why, when the argument is not a whole number above zero or when the body throws (Missing, a
// program that cannot be copied or started), so that a broken measure fails its caller rather
// than printing a figure.
template <class Body>
int run_measure(int argc, char** argv, const char* count_name, int fallback, Body body) {
    int count = fallback;
    if (argc > 1) {
        const char* end = argv[1] + std::strlen(argv[1]);
        auto [ptr, ec] = std::from_chars(argv[1], end, count);
        if (argc > 2 || ec != std::errc() || ptr != end || count < 1) {
            std::fprintf(stderr, "usage: %s [%s]   (a whole number above 0, default %d)\n", argv[0],
                         count_name, fallback);
            return 1;
        }
    }
    try {
        return body(count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

// A program told to end (a core's shutdown, an engine's closed input) must be gone, with exit
// code 0, within its own limits: one that stays or fails would go unseen behind good figures.
inline void expect_clean_exit(testing::ChildSession& child, const std::string& who) {
    auto code = child.wait_exit(std::chrono::seconds(20));
    if (!code)
        throw Missing(who + " did not exit when told to");
    if (*code != 0)
        throw Missing(who + " exited with code " + std::to_string(*code));
}

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
