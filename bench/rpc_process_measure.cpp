// Whole-process measurements of the RPC host against minimal programs over the same pipes:
// the ping round trip against a line echo, pipelined pings, and the idle working set against a
// program that does nothing. Prints the figures and their ratios; exits 1, saying why on
// stderr, when a program does not start or an answer does not come.
//
//   rpc_process_measure [rounds]   default 2000 ping round trips (after 50 not counted), and
//                                  five times as many pipelined pings
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "measure_support.h"
#include "support/bin_dir.h"
#include "support/child_session.h"
#include "json/json.h"

using namespace kest::testing;
using namespace kest::measure;

namespace {

// Median microseconds for one line out and its answer back.
double round_trip_us(ChildSession& child, const char* name, const std::string& line, int rounds) {
    std::vector<double> samples;
    for (int i = 0; i < rounds + 50; ++i) {
        auto t0 = Clock::now();
        child.write(line);
        if (!child.next_line())
            throw Missing(std::string("no answer from the ") + name + " to ping " +
                          std::to_string(i + 1));
        if (i >= 50) // warm-up rounds are not counted
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return median(samples);
}

double pipelined_ms(ChildSession& child, const char* name, int count) {
    std::string burst;
    for (int i = 0; i < count; ++i)
        burst += "{\"id\":" + std::to_string(i) + ",\"method\":\"ping\"}\n";
    auto t0 = Clock::now();
    child.write(burst);
    for (int i = 0; i < count; ++i)
        if (!child.next_line())
            throw Missing(std::string("the ") + name + " answered " + std::to_string(i) + " of " +
                          std::to_string(count) + " pipelined pings");
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

} // namespace

int measure(int rounds) {
    const std::string ping = "{\"id\":1,\"method\":\"ping\"}\n";

    ChildSession echo(program_path("line_echo"));
    ChildSession core(program_path("kestcore"));
    double echo_us = round_trip_us(echo, "line echo", ping, rounds);
    double core_us = round_trip_us(core, "core", ping, rounds);
    std::printf("ping round trip (median of %d): core %.1f us, line echo %.1f us, ratio %.2f "
                "(goal <= 2.5)\n",
                rounds, core_us, echo_us, core_us / echo_us);

    const int burst = 5 * rounds;
    double echo_ms = pipelined_ms(echo, "line echo", burst);
    double core_ms = pipelined_ms(core, "core", burst);
    std::printf("%d pipelined pings: core %.1f ms, line echo %.1f ms, ratio %.2f\n", burst, core_ms,
                echo_ms, core_ms / echo_ms);

    ChildSession idle_core(program_path("kestcore"));
    ChildSession idle_minimal(program_path("idle_program"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    idle_core.write("{\"id\":1,\"method\":\"memstats\"}\n");
    idle_minimal.write("\n");
    auto core_line = idle_core.next_line();
    auto minimal_line = idle_minimal.next_line();
    if (!core_line)
        throw Missing("no answer from the idle core to memstats");
    if (!minimal_line)
        throw Missing("no working set from the idle program");
    kest::Json stats = kest::Json::parse(*core_line, nullptr, false);
    if (!stats.is_object() || !stats.contains("result") || !stats["result"].is_object() ||
        !stats["result"].contains("rss") || !stats["result"]["rss"].is_number())
        throw Missing("memstats answered without a working set: " + *core_line);
    double core_rss = stats["result"]["rss"].get<double>();
    double minimal_rss = std::stod(*minimal_line);
    std::printf("idle working set: core %.0f KiB, minimal program %.0f KiB, ratio %.2f "
                "(goal <= 2)\n",
                core_rss / 1024, minimal_rss / 1024, core_rss / minimal_rss);
    return 0;
}

int main(int argc, char** argv) {
    return run_measure(argc, argv, "rounds", 2000, measure);
}
