#pragma once
// The log: one line per message on standard error, "HH:MM:SS text\n", local time, no levels.
// Callers put their tag first: "[rpc] ", "[vpn] ", "[apps] ", "[core] ", "[geo] ", "[engine] ".
#include <string>
#include <string_view>

namespace kest {

void log_line(std::string_view text);
void log_geo(std::string_view text);
void log_vpn(std::string_view text);
void log_teardown_timeout();

// The line log_line writes for a given time, without writing it.
std::string format_log_line(int hour, int minute, int second, std::string_view text);

} // namespace kest
