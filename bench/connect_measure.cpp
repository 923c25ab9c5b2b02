// Whole-process measurement of a connect: the time from writing a "connect" line to reading the
// "connected" event, minus the engine double's own time from its start to its report (the
// double started alone, as a whole process, with the configuration the core wrote). What is
// left is the core's own share: the request, the sequence, writing the configuration, starting
// the engine process and reading its report. Exits 1, saying why on stderr, when an event, an
// answer or a report does not come, or when the core does not end on its shutdown.
//
//   connect_measure [rounds]       default 30 connects timed (after one not counted), and as
//                                  many starts of the double alone
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "measure_support.h"
#include "support/child_session.h"
#include "support/program_copy.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "json/json.h"

using namespace kest::testing;
using namespace kest::measure;

int measure(int rounds) {
    const std::string link = "vless://0f1e2d3c-0000-4000-8000-000000000001@127.0.0.1:443"
                             "?security=tls&sni=bench.example";
    TempDir data;
    ScopedEnv env("APPDATA", data.path());
    std::string bin = data.join("bin");
    std::string core_path = copy_program("kestcore", bin, "kestcore");
    std::string engine_path = copy_program("vuvezozire", bin, "vuvezozire");

    std::vector<double> connect_ms;
    {
        ChildSession core(core_path);
        HeldLines lines(core);
        std::uint64_t id = 0;
        for (int i = 0; i < rounds + 1; ++i) {
            std::string line = kest::Json{{"id", ++id},
                                          {"method", "connect"},
                                          {"params", {{"link", link}, {"sites", {"example.com"}}}}}
                                   .dump() +
                               "\n";
            auto t0 = Clock::now();
            core.write(line);
            if (!lines.take([](const kest::Json& j) { return is_state(j, "connected"); }))
                throw Missing("no connected event");
            if (i > 0) // the first connect also clears what earlier runs left: not counted
                connect_ms.push_back(ms_since(t0));
            std::uint64_t connect_id = id;
            if (!lines.take([&](const kest::Json& j) { return is_reply(j, connect_id); }))
                throw Missing("no answer to the connect");
            core.write(kest::Json{{"id", ++id}, {"method", "disconnect"}}.dump() + "\n");
            std::uint64_t disconnect_id = id;
            if (!lines.take([&](const kest::Json& j) { return is_reply(j, disconnect_id); }))
                throw Missing("no answer to the disconnect");
        }
        core.write("{\"id\":0,\"method\":\"shutdown\"}\n");
        expect_clean_exit(core, "the core");
    }

    std::string config = data.join("Kest Connect", "vpn_config.json");
    std::vector<double> engine_ms;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        ChildSession engine(engine_path, {config});
        if (!engine.next_line(std::chrono::seconds(30)))
            throw Missing("no report from the engine double");
        engine_ms.push_back(ms_since(t0));
    }

    double whole = median(connect_ms), engine = median(engine_ms);
    std::printf("connect to connected (median of %d): %.2f ms; engine double start to report: "
                "%.2f ms; core's own share %.2f ms (goal <= 50)\n",
                rounds, whole, engine, whole - engine);
    return 0;
}

int main(int argc, char** argv) {
    return run_measure(argc, argv, "rounds", 30, measure);
}
