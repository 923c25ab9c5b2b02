// Building the engine configuration for a large routing choice: 1,000 sites and 50 applications,
// with a few rule-set files present. The build alone should stay within 1 ms.
#include <string>

#include <benchmark/benchmark.h>

#include "config/config_file.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/temp_dir.h"
#include "text/path_text.h"
#include "json/json.h"

namespace {

using kest::Json;
using kest::config::RoutePlan;

constexpr std::string_view kSecret =
    "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

Json outbound() {
    return {{"type", "hysteria2"},
            {"tag", "proxy"},
            {"server", "203.0.113.7"},
            {"server_port", 443},
            {"password", "pw"},
            {"tls", {{"enabled", true}, {"server_name", "hy.example.net"}, {"insecure", false}}}};
}

// Mode selected is the larger document: every user rule gets a UDP guard copy.
RoutePlan large_plan(bool selected_mode) {
    RoutePlan plan;
    plan.selected_mode = selected_mode;
    plan.ru_preset = true;
    for (int i = 0; i < 50; ++i) {
        std::string name = "Application" + std::to_string(i) + ".exe";
        std::string folder = "C:\\Program Files\\Vendor " + std::to_string(i) + "\\bin";
        plan.process_names.append(name);
        plan.exe_paths.append(folder + "\\" + name);
        plan.folders.append(folder);
    }
    for (int i = 0; i < 1000; ++i) {
        std::string domain = "site" + std::to_string(i) + ".example.com";
        plan.domains.append(domain);
        plan.domain_suffixes.append("." + domain);
        if (i % 10 == 0)
            plan.ip_cidrs.append("10." + std::to_string(i % 250) + "." + std::to_string(i / 250) +
                                 ".0/24");
    }
    for (const char* service : {"telegram", "youtube", "google", "discord"})
        plan.geosite_names.append(service);
    return plan;
}

struct Setup {
    kest::testing::TempDir dir;
    kest::config::ConfigInputs inputs;

    Setup() {
        const char sep = kest::platform::path_separator();
        std::string data = kest::text::join_path(dir.path(), "Kest Connect", sep);
        std::string geo = kest::text::join_path(data, "geo", sep);
        (void)kest::platform::create_directories(geo);
        for (const char* file : {"geosite-category-ru.srs", "geoip-ru.srs", "geosite-telegram.srs",
                                 "geosite-google.srs"})
            (void)kest::platform::write_file(kest::text::join_path(geo, file, sep), "srs");
        inputs.secret = std::string(kSecret);
        inputs.port = 9787;
        inputs.config_path = kest::text::join_path(data, "vpn_config.json", sep);
        inputs.data_directory = data;
    }
};

// The document and its compact text, without the file write. Argument: mode selected.
void BM_BuildEngineConfig(benchmark::State& state) {
    Setup setup;
    Json proxy = outbound();
    RoutePlan plan = large_plan(state.range(0) != 0);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = kest::config::render_engine_config(proxy, plan, setup.inputs);
        bytes = text ? text->size() : 0;
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildEngineConfig)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BuildAndWriteEngineConfig(benchmark::State& state) {
    Setup setup;
    Json proxy = outbound();
    RoutePlan plan = large_plan(state.range(0) != 0);
    for (auto _ : state) {
        auto written = kest::config::build_engine_config(proxy, plan, setup.inputs);
        if (!written) {
            state.SkipWithError(written.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(written->size());
    }
}
BENCHMARK(BM_BuildAndWriteEngineConfig)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
