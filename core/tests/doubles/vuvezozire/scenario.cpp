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
    return ReloadScenario::Ok;
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
    if (auto failing = non_empty("KEST_DOUBLE_FAILING_STARTS"))
        s.failing_starts = std::atoi(failing->c_str());
    s.report_gate = non_empty("KEST_DOUBLE_REPORT_GATE");
    s.after_report = non_empty("KEST_DOUBLE_AFTER_REPORT");
    if (auto exit_after = non_empty("KEST_DOUBLE_EXIT_AFTER_MS"))
        s.exit_after_ms = std::atoi(exit_after->c_str());
    s.reload = reload_of(platform::get_env("KEST_DOUBLE_RELOAD").value_or("ok"));
    s.reload_error = platform::get_env("KEST_DOUBLE_RELOAD_ERROR").value_or("");
    s.restore_record = non_empty("KEST_DOUBLE_RESTORE_RECORD");
    s.restore_hangs = platform::get_env("KEST_DOUBLE_RESTORE").value_or("") == "hang";
    if (platform::get_env("KEST_DOUBLE_ON_CLOSE").value_or("") == "ignore")
        s.on_close = CloseScenario::Ignore;
    return s;
}

} // namespace kest::engine_double
