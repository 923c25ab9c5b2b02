#pragma once
// The engine's one-line verdict after a start or a reload.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "base/channel.h"
#include "base/expected.h"

namespace kest::vpn {

struct StartReport {
    bool ok = false;
    std::string kind;
    std::string error;
};

// The error is the JSON decoder's text.
Expected<StartReport> parse_start_report(std::string_view text);

// The engine waits 90 s for a start report after a start.
inline constexpr std::chrono::seconds start_report_timeout{90};

// The first line on the report channel that is not blank once trimmed, decoded as a report.
// None at the deadline, when the channel has ended, or when that line does not decode (logged
// once, and no further line is waited for).
std::optional<StartReport> wait_start_report(Channel<std::string>::Receiver& reports,
                                             std::chrono::milliseconds timeout);

} // namespace kest::vpn
