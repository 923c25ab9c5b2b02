// A stand-in for the engine, speaking its protocol with the core: the configuration file as
// the only argument ("--restore" exits at once), a start report on standard output, log lines
// on standard error, {"cmd":"reload","config":path} lines answered with one report each, the
// end of standard input answered with a "stopped" report and the exit. It serves the control
// interface (GET /connections with the bearer secret) where the configuration's Clash API
// block says. Scenario switches: scenario.h.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/arguments.h"
#include "platform/env.h"
#include "platform/exit.h"
#include "platform/fs.h"
#include "platform/process_image.h"
#include "platform/process_setup.h"
#include "platform/stdio.h"
#include "scenario.h"
#include "support/http_server.h"
#include "util/write_atomic.h"
#include "json/json.h"

namespace kest::engine_double {
namespace {

// Paths and messages may hold any bytes; ill-formed UTF-8 must not end the program.
std::string compact(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void log(const std::string& text) {
    platform::write_stderr("vuvezozire: " + text + "\n");
}

void print_line(const std::string& line) {
    platform::write_stdout(line + "\n");
}

void report(bool ok, const std::string& kind, const std::string& error) {
    print_line(compact(Json{{"ok", ok}, {"kind", kind}, {"error", error}}));
}

// The long run and the line that is not UTF-8 chosen for this place, if any.
void write_odd_output(const Scenario& scenario, OddPlace here) {
    auto write = here == OddPlace::Stderr ? platform::write_stderr : platform::write_stdout;
    if (scenario.long_line == here)
        write(std::string(scenario.long_line_bytes, 'x'));
    if (scenario.bad_utf8 == here)
        write("vuvezozire: \xC3\x28 is no character, nor is \xFF\n");
}

// What the process was started with, beyond its arguments.
Json start_facts(const Scenario& scenario) {
    Json env = Json::object();
    for (const auto& name : scenario.record_env) {
        auto value = platform::get_env(name);
        env[name] = value ? Json(*value) : Json(nullptr);
    }
    std::u8string cwd = std::filesystem::current_path().u8string();
    return {{"cwd", std::string(cwd.begin(), cwd.end())},
            {"env", env},
            {"pid", platform::current_process_id()}};
}

// Appends this process's id as a line of the file; the number of lines before it.
int append_own_pid(const std::string& path, const std::string& what) {
    auto read = platform::read_file(path);
    std::string lines = read ? *read : "";
    int earlier = static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
    lines += std::to_string(platform::current_process_id()) + "\n";
    if (auto written = write_atomic(path, lines); !written)
        log("cannot record " + what + ": " + written.error());
    return earlier;
}

// Appends this start to the file of starts; the number of starts before it.
int count_start(const std::optional<std::string>& path) {
    return path ? append_own_pid(*path, "the start") : 0;
}

void wait_for_gate(const std::optional<std::string>& gate) {
    if (!gate)
        return;
    log("report held until " + *gate + " exists");
    while (!platform::file_exists(*gate))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

[[noreturn]] void run_until_killed() {
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

// Everything received, for the test to read back.
class Recorder {
public:
    explicit Recorder(std::optional<std::string> path) : path_(std::move(path)) {}

    void add(const std::string& line) {
        if (!path_)
            return;
        content_ += line + "\n";
        if (auto written = write_atomic(*path_, content_); !written)
            log("cannot write the record: " + written.error());
    }

private:
    std::optional<std::string> path_;
    std::string content_;
};

std::optional<Json> read_config(const std::string& path, std::string& error) {
    auto text = platform::read_file(path);
    if (!text) {
        error = "cannot read " + path + ": " + text.error();
        return std::nullopt;
    }
    Json config = Json::parse(*text, nullptr, false);
    if (config.is_discarded() || !config.is_object()) {
        error = "configuration " + path + " is not a JSON object";
        return std::nullopt;
    }
    return config;
}

struct Controller {
    std::uint16_t port = 0;
    std::string secret;
};

// experimental.clash_api.external_controller ("127.0.0.1:PORT") and .secret, when present.
std::optional<Controller> controller_of(const Json& config) {
    auto api = config.value("/experimental/clash_api"_json_pointer, Json::object());
    if (!api.is_object() || !api.contains("external_controller"))
        return std::nullopt;
    std::string address = api.value("external_controller", "");
    auto colon = address.rfind(':');
    if (colon == std::string::npos)
        return std::nullopt;
    Controller c;
    c.port = static_cast<std::uint16_t>(std::strtoul(address.c_str() + colon + 1, nullptr, 10));
    c.secret = api.value("secret", "");
    return c;
}

std::unique_ptr<testing::HttpServer> serve_controller(const Controller& c, const Scenario& s) {
    auto server = std::make_unique<testing::HttpServer>(c.port);
    std::string expected = "Bearer " + c.secret;
    std::string body = s.connections_body;
    server->set_fallback([expected, body](const testing::ReceivedRequest& req) {
        if (req.header("Authorization") != expected)
            return testing::Reply::text(401, R"({"message":"Unauthorized"})");
        if (req.method != "GET" || req.target.substr(0, req.target.find('?')) != "/connections")
            return testing::Reply::text(404, "404 page not found\n");
        testing::Reply ok = testing::Reply::text(200, body);
        ok.headers.emplace_back("Content-Type", "application/json");
        return ok;
    });
    return server;
}

void answer_command(const std::string& line, const Scenario& scenario) {
    Json command = Json::parse(line, nullptr, false);
    if (command.is_discarded() || !command.is_object() || command.value("cmd", "") != "reload") {
        log("ignoring input line: " + line);
        return;
    }
    switch (scenario.reload) {
    case ReloadScenario::Stopped:
        print_line(R"({"ok":true,"kind":"stopped"})");
        return;
    case ReloadScenario::Fail:
        report(false, "", scenario.reload_error);
        return;
    case ReloadScenario::Silent:
        log("not answering the reload");
        return;
    case ReloadScenario::Exit:
        log("exiting instead of reloading");
        platform::exit_process(1);
    case ReloadScenario::Cut:
        platform::write_stdout(R"({"ok":t)");
        platform::exit_process(1);
    case ReloadScenario::Ok:
        break;
    }
    std::string error;
    if (!command.contains("config") || !command["config"].is_string()) {
        report(false, "config", "reload without a configuration path");
        return;
    }
    if (!read_config(command["config"].get<std::string>(), error)) {
        report(false, "config", error);
        return;
    }
    log("configuration reloaded");
    report(true, "", "");
}

// A "--restore" run: noted for the test, then over (or never, when asked to hang).
int restore(const Scenario& scenario) {
    if (scenario.restore_record)
        (void)append_own_pid(*scenario.restore_record, "the restore run");
    if (scenario.restore_hangs) {
        log("restoring forever");
        run_until_killed();
    }
    log("system settings restored");
    return 0;
}

// The engine crashing a while after its start.
void crash_later(int ms) {
    std::thread([ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        log("crashing");
        platform::exit_process(1);
    }).detach();
}

int run(const std::vector<std::string>& args) {
    Scenario scenario = read_scenario();
    if (scenario.bad_utf8 != OddPlace::None)
        platform::prepare_process();
    if (args.size() == 1 && args[0] == "--restore")
        return restore(scenario);
    Recorder recorder(scenario.record_path);
    recorder.add(compact(Json(args)));
    recorder.add(compact(start_facts(scenario)));

    if (args.size() != 1) {
        log("usage: vuvezozire <config.json> | --restore");
        return 2;
    }

    std::string error;
    auto config = read_config(args[0], error);
    if (!config) {
        log(error);
        report(false, "config", error);
        return 1;
    }
    std::unique_ptr<testing::HttpServer> server;
    if (auto controller = controller_of(*config)) {
        try {
            server = serve_controller(*controller, scenario);
        } catch (const std::exception& e) {
            log(e.what());
            report(false, "start", e.what());
            return 1;
        }
        log("control interface on 127.0.0.1:" + std::to_string(controller->port));
    }
    StartScenario start = scenario.start;
    int earlier_starts = count_start(scenario.starts_path);
    if (start == StartScenario::Fail && scenario.failing_starts &&
        earlier_starts >= *scenario.failing_starts)
        start = StartScenario::Ok;
    if (start == StartScenario::Exit && scenario.exiting_starts &&
        earlier_starts >= *scenario.exiting_starts)
        start = StartScenario::Ok;
    wait_for_gate(scenario.report_gate);
    switch (start) {
    case StartScenario::Exit:
        log("exiting without a report");
        return 3;
    case StartScenario::Hang:
        log("saying nothing");
        break;
    case StartScenario::Ok:
    case StartScenario::Fail:
    case StartScenario::Garbage:
        write_odd_output(scenario, OddPlace::Stderr);
        for (int i = 0; i < scenario.blank_lines; ++i)
            print_line(i % 3 == 0 ? "" : i % 3 == 1 ? "   " : " \t\r");
        if (start == StartScenario::Garbage)
            print_line("tunnel up, more or less");
        write_odd_output(scenario, OddPlace::Stdout);
        if (start == StartScenario::Fail) {
            log("start failed: " + scenario.fail_error);
            report(false, scenario.fail_kind, scenario.fail_error);
        } else {
            log("tunnel up");
            report(true, "", "");
            if (scenario.after_report)
                print_line(*scenario.after_report);
            write_odd_output(scenario, OddPlace::StdoutLate);
            if (scenario.exit_after_ms &&
                (!scenario.crashing_starts || earlier_starts < *scenario.crashing_starts))
                crash_later(*scenario.exit_after_ms);
        }
        break;
    }

    std::vector<char> buf(65536);
    std::string pending;
    for (;;) {
        auto r = platform::read_stdin(buf.data(), buf.size());
        if (r.status != platform::ReadStatus::Data)
            break;
        pending.append(buf.data(), r.bytes);
        for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            recorder.add(line);
            answer_command(line, scenario);
        }
    }
    if (scenario.start == StartScenario::Hang)
        return 0;
    switch (scenario.on_close) {
    case CloseScenario::Ignore:
        log("input closed, running on");
        run_until_killed();
    case CloseScenario::Exit:
        log("input closed, exiting without a word");
        return 0;
    case CloseScenario::Crash:
        platform::write_stdout(R"({"kind":"sto)");
        log("crashing while stopping");
        platform::exit_process(1);
    case CloseScenario::Stopped:
        break;
    }
    log("input closed, stopping");
    print_line(R"({"kind":"stopped"})");
    std::this_thread::sleep_for(std::chrono::milliseconds(scenario.linger_ms));
    if (scenario.left_path)
        (void)append_own_pid(*scenario.left_path, "the end");
    return 0;
}

} // namespace
} // namespace kest::engine_double

int main(int argc, char** argv) {
    return kest::engine_double::run(kest::platform::program_arguments(argc, argv));
}
