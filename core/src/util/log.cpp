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

std::string format_log_line(int hour, int minute, int second, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 12);
    two_digits(line, hour);
    line.push_back(':');
    two_digits(line, minute);
    line.push_back(':');
    two_digits(line, second);
    line.push_back(' ');
    line.append(text);
    line.push_back('\n');
    return line;
}

void log_line(std::string_view text) {
    platform::LocalTime t = platform::local_time();
    std::string line = format_log_line(t.hour, t.minute, t.second, text);
    std::lock_guard lock(stderr_lock());
    platform::write_stderr(line);
}

void log_geo(std::string_view text) {
    log_line(std::string("[geo] ").append(text));
}
void log_vpn(std::string_view text) {
    log_line(std::string("[vpn] ").append(text));
}
void log_teardown_timeout() {
    log_line("[core] демонтаж туннеля не уложился в 5с — выходим");
}

} // namespace kest
