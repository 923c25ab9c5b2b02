// Whole-process measurement of "scan_apps" over a Start Menu of 200 shortcuts, each to an
// executable of its own: the cold scan (shortcuts resolved, icons made) against the warm,
// cached answer, and the warm answer against a "ping" round trip. Shortcuts need the system's
// shell links; elsewhere the scan finds the running programs only. Exits 1, saying why on
// stderr, when a shortcut cannot be written where shell links exist, or when an answer does
// not come or is an error.
//
//   apps_scan_measure [rounds]     default 200 warm scans and pings; the line echo 50 times
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "measure_support.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/bin_dir.h"
#include "support/child_session.h"
#include "support/scoped_env.h"
#include "support/shell_link_file.h"
#include "support/temp_dir.h"
#include "text/path_text.h"

using namespace kest::testing;
using namespace kest::measure;

namespace {

constexpr int kShortcuts = 200;

std::string join(std::string base, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts)
        base = kest::text::join_path(base, part, kest::platform::path_separator());
    return base;
}

// Milliseconds for one line out and its answer back; the answer goes to answer.
double round_trip_ms(ChildSession& child, const std::string& line, std::string& answer,
                     const std::string& what) {
    auto t0 = Clock::now();
    child.write(line);
    auto got = child.next_line(std::chrono::minutes(5));
    if (!got)
        throw Missing("no answer to " + what);
    answer = std::move(*got);
    return ms_since(t0);
}

// A request's round trip; an answer that is not a result fails the measure.
double request_ms(ChildSession& core, const std::string& method, std::size_t* bytes = nullptr) {
    std::string answer;
    double ms = round_trip_ms(core, "{\"id\":1,\"method\":\"" + method + "\"}\n", answer, method);
    kest::Json reply = kest::Json::parse(answer, nullptr, false);
    if (!reply.is_object() || !reply.contains("result"))
        throw Missing(method + " answered without a result: " + answer.substr(0, 300));
    if (bytes)
        *bytes = answer.size();
    return ms;
}

} // namespace

int measure(int rounds) {
    TempDir machine;
    const std::string programs =
        join(machine.path(), {"Microsoft", "Windows", "Start Menu", "Programs"});
    int linked = 0;
    for (int i = 0; i < kShortcuts; ++i) {
        const std::string name = "App" + std::to_string(i);
        const std::string exe = join(machine.path(), {"Apps", name, name + ".exe"});
        std::filesystem::create_directories(std::filesystem::u8path(exe).parent_path());
        std::filesystem::copy_file(std::filesystem::u8path(program_path("untranslated_app")),
                                   std::filesystem::u8path(exe));
        const std::string group = join(programs, {"Group" + std::to_string(i % 10)});
        kest::platform::create_directories(group);
        auto written = write_shell_link(join(group, {name + ".lnk"}), exe);
#ifdef _WIN32
        if (!written)
            throw Missing("cannot write the shortcut: " + written.error());
#endif
        linked += written.has_value();
    }
    ScopedEnv env;
    env.set("ProgramData", machine.path());
    TempDir appdata;
    env.set("APPDATA", appdata.path());

    ChildSession core(program_path("kestcore"));
    const double cold = request_ms(core, "scan_apps");
    std::size_t answer_bytes = 0;
    std::vector<double> warm, ping, echo;
    for (int i = 0; i < rounds; ++i) {
        warm.push_back(request_ms(core, "scan_apps", &answer_bytes));
        ping.push_back(request_ms(core, "ping"));
    }
    // The floor for moving an answer of that size through the pipes at all.
    ChildSession echo_child(program_path("line_echo"));
    const std::string same_size(answer_bytes, 'x');
    std::string echoed;
    for (int i = 0; i < 50; ++i) {
        echo.push_back(round_trip_ms(echo_child, same_size + "\n", echoed, "the line echo"));
        if (echoed != same_size)
            throw Missing("the line echo gave back " + std::to_string(echoed.size()) +
                          " bytes of " + std::to_string(same_size.size()));
    }
    std::printf("scan_apps over %d shortcuts (%d written): cold %.1f ms, warm %.3f ms "
                "(median of %d, answer %zu bytes), ping %.3f ms, warm over ping %.3f ms "
                "(goal <= 1); line echo of the answer's size %.3f ms\n",
                kShortcuts, linked, cold, median(warm), rounds, answer_bytes, median(ping),
                median(warm) - median(ping), median(echo));
    return 0;
}

int main(int argc, char** argv) {
    return run_measure(argc, argv, "rounds", 200, measure);
}
