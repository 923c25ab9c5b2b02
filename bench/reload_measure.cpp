// Whole-process measurement of a live reload and of a long run of tunnel cycles.
//
// Reload: the time from writing a "connect" line with "reload": true on a running tunnel to
// reading its "connected" event, minus the engine double's own reload round trip (the double
// started alone, given the same reload line on its input, until its answer). What is left is
// the core's own share: the request, the replacement's steps, writing the configuration, the
// exchange over the pipes.
//
// Cycles: connect / reload / disconnect, many times; afterwards no engine process may be left,
// and the core's threads, handles (descriptors natively) and working set must be back at the
// level they had after the first cycles, within a small margin.
//
// Exits 2 when something is left behind; 1, saying why on stderr, when an answer, an event or a
// report does not come, a cycle fails, or the core does not end on its shutdown.
//
//   reload_measure [cycles]      default 100
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "measure_support.h"
#include "platform/fs.h"
#include "platform/process_image.h"
#include "support/child_session.h"
#include "support/file_lines.h"
#include "support/process_counts.h"
#include "support/program_copy.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "json/json.h"

using namespace kest::testing;
using namespace kest::measure;

namespace {

const std::string kLink = "vless://0f1e2d3c-0000-4000-8000-000000000001@127.0.0.1:443"
                          "?security=tls&sni=bench.example";

// One front end talking to one core.
struct FrontEnd {
    ChildSession core;
    HeldLines lines{core};
    std::uint64_t id = 0;

    explicit FrontEnd(const std::string& path) : core(path) {}

    kest::Json request(const std::string& method, kest::Json params = nullptr) {
        std::uint64_t mine = ++id;
        core.write(kest::Json{{"id", mine}, {"method", method}, {"params", params}}.dump() + "\n");
        auto answer = lines.take([&](const kest::Json& j) { return is_reply(j, mine); });
        if (!answer) {
            auto log = core.stderr_lines();
            for (std::size_t i = log.size() > 30 ? log.size() - 30 : 0; i < log.size(); ++i)
                std::fprintf(stderr, "core log: %s\n", log[i].c_str());
            auto code = core.wait_exit(std::chrono::seconds(1));
            throw Missing("no answer to " + method + "; core " +
                          (code ? "exit code " + std::to_string(*code) : "still running"));
        }
        // An error answer is kept whole, to be shown.
        return answer->contains("result") ? (*answer)["result"] : *answer;
    }
    // A connect that succeeds is done once its "connected" event is in too, so that no later
    // wait for one takes this one's.
    kest::Json connect(bool reload, const char* site) {
        kest::Json reply =
            request("connect", {{"link", kLink}, {"sites", {site}}, {"reload", reload}});
        if (reply.value("ok", false) == true && !lines.take(connected))
            reply = kest::Json{{"error", "no connected event"}};
        return reply;
    }
    // The time from the reload line to the "connected" event. The reply may come before or
    // after the event: both are awaited.
    std::optional<double> timed_reload(const char* site) {
        std::uint64_t mine = ++id;
        auto t0 = Clock::now();
        core.write(kest::Json{{"id", mine},
                              {"method", "connect"},
                              {"params", {{"link", kLink}, {"sites", {site}}, {"reload", true}}}}
                       .dump() +
                   "\n");
        if (!lines.take(connected))
            return std::nullopt;
        double took = ms_since(t0);
        if (!lines.take([&](const kest::Json& j) { return is_reply(j, mine); }))
            return std::nullopt;
        return took;
    }
    static bool connected(const kest::Json& j) { return is_state(j, "connected"); }
};

struct Level {
    std::size_t threads = 0;
    std::optional<std::size_t> handles;
    std::uint64_t working_set = 0;
};

std::string count_text(const std::optional<std::size_t>& n) {
    return n ? std::to_string(*n) : "n/a";
}

// Without the core's threads or working set the check after the cycles would pass on nothing.
Level level_of(FrontEnd& fe) {
    ProcessCounts counts = process_counts(fe.core.pid());
    if (!counts.threads)
        throw Missing("cannot count the core's threads");
    kest::Json mem = fe.request("memstats");
    if (!mem.is_object() || !mem.contains("rss") || !mem["rss"].is_number_unsigned())
        throw Missing("memstats answered without a working set: " + mem.dump());
    return {*counts.threads, counts.handles, mem["rss"].get<std::uint64_t>()};
}

// Threads of a stopped session end within moments; the engine's reaper within seconds.
Level settled_level(FrontEnd& fe, const Level& baseline) {
    Level now = level_of(fe);
    for (int i = 0; i < 100 && (now.threads > baseline.threads ||
                                now.handles.value_or(0) > baseline.handles.value_or(0));
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        now = level_of(fe);
    }
    return now;
}

std::vector<std::uint32_t> pids_in(const std::string& path) {
    std::vector<std::uint32_t> pids;
    for (const std::string& line : kest::testing::file_lines(path))
        pids.push_back(static_cast<std::uint32_t>(std::stoul(line)));
    return pids;
}

} // namespace

int measure(int cycles) {
    const int rounds = 30;
    TempDir data;
    ScopedEnv env("APPDATA", data.path());
    std::string starts = data.join("starts.txt");
    ScopedEnv count_starts("KEST_DOUBLE_STARTS", starts);
    std::string bin = data.join("bin");
    std::string core_path = copy_program("kestcore", bin, "kestcore");
    std::string engine_path = copy_program("vuvezozire", bin, "vuvezozire");
    std::string config = data.join("Kest Connect", "vpn_config.json");

    std::vector<double> reload_ms;
    Level baseline, after;
    {
        FrontEnd fe(core_path);
        if (kest::Json first = fe.connect(false, "example.com"); first.value("ok", false) != true)
            throw Missing("the first connect failed: " + first.dump());
        for (int i = 0; i < rounds; ++i) {
            auto took = fe.timed_reload(i % 2 ? "example.com" : "example.org");
            if (!took)
                throw Missing("no connected event after a reload");
            reload_ms.push_back(*took);
        }
        fe.request("disconnect");

        auto cycle = [&] {
            kest::Json connected = fe.connect(false, "example.com");
            kest::Json reloaded = connected.value("ok", false) ? fe.connect(true, "example.org")
                                                               : kest::Json::object();
            fe.request("disconnect");
            if (reloaded.value("ok", false))
                return true;
            std::fprintf(stderr, "connect: %s; reload: %s\n", connected.dump().c_str(),
                         reloaded.dump().c_str());
            auto log = fe.core.stderr_lines();
            for (std::size_t i = log.size() > 25 ? log.size() - 25 : 0; i < log.size(); ++i)
                std::fprintf(stderr, "core log: %s\n", log[i].c_str());
            return false;
        };
        for (int i = 0; i < 3; ++i) // what the first cycles make once (pools, caches)
            if (!cycle())
                throw Missing("warm-up cycle " + std::to_string(i) + " failed");
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the last session's threads end
        baseline = level_of(fe);
        for (int i = 0; i < cycles; ++i) {
            if (!cycle())
                throw Missing("cycle " + std::to_string(i) + " failed");
        }
        after = settled_level(fe, baseline);
        fe.request("shutdown");
        expect_clean_exit(fe.core, "the core");
    }

    // The double alone: its start report, then the same reload line, timed to its answer.
    std::vector<double> engine_ms;
    {
        ChildSession engine(engine_path, {config});
        if (!engine.next_line(std::chrono::seconds(30)))
            throw Missing("no report from the engine double");
        std::string line = kest::Json{{"cmd", "reload"}, {"config", config}}.dump() + "\n";
        for (int i = 0; i < rounds; ++i) {
            auto t0 = Clock::now();
            engine.write(line);
            if (!engine.next_line(std::chrono::seconds(30)))
                throw Missing("no reload answer from the engine double");
            engine_ms.push_back(ms_since(t0));
        }
        engine.close_stdin();
        expect_clean_exit(engine, "the engine double");
    }

    // Without the starts the double records, no engine could be found left.
    const std::vector<std::uint32_t> started = pids_in(starts);
    if (started.empty())
        throw Missing("the engine double recorded no starts in " + starts);
    // An engine asked to stop says so and leaves on its own; the system may take a moment to
    // forget a process that has ended.
    std::size_t left = 0;
    kest::platform::ImagePathBuffer buffer;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    for (std::uint32_t pid : started) {
        while (kest::platform::process_image_path(pid, buffer) == engine_path &&
               Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (kest::platform::process_image_path(pid, buffer) == engine_path)
            ++left;
    }

    double whole = median(reload_ms), engine = median(engine_ms);
    std::printf("reload to connected (median of %d): %.2f ms; engine double's own reload: %.2f ms; "
                "core's own share %.2f ms (goal <= 20)\n",
                rounds, whole, engine, whole - engine);
    std::printf("%d connect/reload/disconnect cycles: %zu engine starts, %zu engines left; "
                "threads %zu -> %zu, handles %s -> %s, working set %.1f -> %.1f MiB\n",
                cycles, started.size(), left, baseline.threads, after.threads,
                count_text(baseline.handles).c_str(), count_text(after.handles).c_str(),
                baseline.working_set / 1048576.0, after.working_set / 1048576.0);
    bool leaked = false;
    if (left > 0) {
        std::fprintf(stderr, "%zu engines left running\n", left);
        leaked = true;
    }
    if (after.threads > baseline.threads + 2) {
        std::fprintf(stderr, "the core's threads grew from %zu to %zu\n", baseline.threads,
                     after.threads);
        leaked = true;
    }
    if (after.handles.value_or(0) > baseline.handles.value_or(0) + 8) {
        std::fprintf(stderr, "the core's handles grew from %s to %s\n",
                     count_text(baseline.handles).c_str(), count_text(after.handles).c_str());
        leaked = true;
    }
    return leaked ? 2 : 0;
}

int main(int argc, char** argv) {
    return run_measure(argc, argv, "cycles", 100, measure);
}
