#include "scenario.h"

#include <cstdlib>

#include "platform/env.h"

namespace kest::engine_double {
namespace {

std::vector<std::string> split_names(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        if (comma > start)
            names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

StartScenario start_of(const std::string& name) {
    if (name == "fail")
        return StartScenario::Fail;
    if (name == "garbage")
        return StartScenario::Garbage;
    if (name == "exit")
        return StartScenario::Exit;
    if (name == "hang")
        return StartScenario::Hang;
    return StartScenario::Ok;
}

ReloadScenario reload_of(const std::string& name) {
    if (name == "stopped")
        return ReloadScenario::Stopped;
    if (name == "fail")
        return ReloadScenario::Fail;
    if (name == "silent")
        return ReloadScenario::Silent;
    if (name == "exit")
        return ReloadScenario::Exit;
    if (name == "cut")
        return ReloadScenario::Cut;
    return ReloadScenario::Ok;
}

CloseScenario close_of(const std::string& name) {
    if (name == "ignore")
        return CloseScenario::Ignore;
    if (name == "exit")
        return CloseScenario::Exit;
    if (name == "crash")
        return CloseScenario::Crash;
    return CloseScenario::Stopped;
}

OddPlace place_of(const std::string& name) {
    if (name == "stdout")
        return OddPlace::Stdout;
    if (name == "stderr")
        return OddPlace::Stderr;
    if (name == "stdout-late")
        return OddPlace::StdoutLate;
    return OddPlace::None;
}

} // namespace

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
    s.record_env = split_names(platform::get_env("KEST_DOUBLE_RECORD_ENV").value_or(""));
    s.start = start_of(platform::get_env("KEST_DOUBLE_START").value_or("ok"));
    s.fail_kind = platform::get_env("KEST_DOUBLE_KIND").value_or("");
    s.fail_error = platform::get_env("KEST_DOUBLE_ERROR").value_or("");
    s.blank_lines = std::atoi(platform::get_env("KEST_DOUBLE_BLANK_LINES").value_or("0").c_str());
    s.linger_ms = std::atoi(platform::get_env("KEST_DOUBLE_LINGER_MS").value_or("0").c_str());
    auto non_empty = [](std::string_view name) -> std::optional<std::string> {
        auto value = platform::get_env(name);
        if (!value || value->empty())
            return std::nullopt;
        return value;
    };
    s.starts_path = non_empty("KEST_DOUBLE_STARTS");
    s.left_path = non_empty("KEST_DOUBLE_LEFT");
    if (auto failing = non_empty("KEST_DOUBLE_FAILING_STARTS"))
        s.failing_starts = std::atoi(failing->c_str());
    s.report_gate = non_empty("KEST_DOUBLE_REPORT_GATE");
    s.after_report = non_empty("KEST_DOUBLE_AFTER_REPORT");
    if (auto exit_after = non_empty("KEST_DOUBLE_EXIT_AFTER_MS"))
        s.exit_after_ms = std::atoi(exit_after->c_str());
    if (auto crashing = non_empty("KEST_DOUBLE_CRASHING_STARTS"))
        s.crashing_starts = std::atoi(crashing->c_str());
    s.reload = reload_of(platform::get_env("KEST_DOUBLE_RELOAD").value_or("ok"));
    s.reload_error = platform::get_env("KEST_DOUBLE_RELOAD_ERROR").value_or("");
    s.restore_record = non_empty("KEST_DOUBLE_RESTORE_RECORD");
    s.restore_hangs = platform::get_env("KEST_DOUBLE_RESTORE").value_or("") == "hang";
    s.on_close = close_of(platform::get_env("KEST_DOUBLE_ON_CLOSE").value_or(""));
    if (auto exiting = non_empty("KEST_DOUBLE_EXITING_STARTS"))
        s.exiting_starts = std::atoi(exiting->c_str());
    s.long_line = place_of(platform::get_env("KEST_DOUBLE_LONG_LINE").value_or(""));
    if (auto bytes = non_empty("KEST_DOUBLE_LONG_LINE_BYTES"))
        s.long_line_bytes = std::strtoull(bytes->c_str(), nullptr, 10);
    s.bad_utf8 = place_of(platform::get_env("KEST_DOUBLE_BAD_UTF8").value_or(""));
    return s;
}

} // namespace kest::engine_double
