#include "util/log.h"

#include <mutex>

#include "platform/clock.h"
#include "platform/stdio.h"

namespace kest {
namespace {

std::mutex& stderr_lock() {
    static std::mutex m;
    return m;
}

void two_digits(std::string& out, int v) {
    out.push_back(static_cast<char>('0' + (v / 10) % 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

} // namespace

std::string_view log_prefix(LogTag tag) {
    switch (tag) {
    case LogTag::Rpc:
        return "[rpc] ";
    case LogTag::Vpn:
        return "[vpn] ";
    case LogTag::Apps:
        return "[apps] ";
    case LogTag::Core:
        return "[core] ";
    case LogTag::Geo:
        return "[geo] ";
    case LogTag::Engine:
        return "[engine] ";
    }
    return "";
}

std::string format_log_line(int hour, int minute, int second, LogTag tag, std::string_view text) {
    std::string_view prefix = log_prefix(tag);
    std::string line;
    line.reserve(prefix.size() + text.size() + 10);
    two_digits(line, hour);
    line.push_back(':');
    two_digits(line, minute);
    line.push_back(':');
    two_digits(line, second);
    line.push_back(' ');
    line.append(prefix);
    line.append(text);
    line.push_back('\n');
    return line;
}

void log_line(LogTag tag, std::string_view text) {
    platform::LocalTime t = platform::local_time();
    std::string line = format_log_line(t.hour, t.minute, t.second, tag, text);
    std::lock_guard lock(stderr_lock());
    platform::write_stderr(line);
}

} // namespace kest
