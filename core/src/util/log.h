#pragma once
// The log: one line per message on standard error, "HH:MM:SS [tag] text\n", local time, no
// levels. Every caller names its tag; the tag's bracketed text is written once, here.
#include <string>
#include <string_view>

namespace kest {

enum class LogTag { Rpc, Vpn, Apps, Core, Geo, Engine };

// "[rpc] ", "[vpn] ", ... : the prefix a tag puts before the text.
std::string_view log_prefix(LogTag tag);

void log_line(LogTag tag, std::string_view text);

// The line log_line writes for a given time, without writing it.
std::string format_log_line(int hour, int minute, int second, LogTag tag, std::string_view text);

} // namespace kest
