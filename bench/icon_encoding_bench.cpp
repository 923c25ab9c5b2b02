// Turning one 32 x 32 icon into the text the front end receives: the PNG file, its Base64
// text, and the whole data URL as the icon workers make it from the shell's pixels.
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "apps/icon_text.h"
#include "apps/png_writer.h"
#include "support/icon_fixtures.h"
#include "text/base64.h"

namespace {

using kest::testing::FixtureIcon;
using kest::testing::kFixtureIconSize;

std::vector<std::uint8_t> icon_pixels() {
    return kest::testing::fixture_icon_pixels(FixtureIcon::WithAlpha).rgba;
}

void BM_PngOf32x32Icon(benchmark::State& state) {
    std::vector<std::uint8_t> pixels = icon_pixels();
    for (auto _ : state) {
        auto png = kest::apps::encode_png_rgba(kFixtureIconSize, kFixtureIconSize, pixels);
        benchmark::DoNotOptimize(png);
    }
}
BENCHMARK(BM_PngOf32x32Icon);

void BM_Base64Of32x32IconPng(benchmark::State& state) {
    std::string png =
        kest::apps::encode_png_rgba(kFixtureIconSize, kFixtureIconSize, icon_pixels()).value();
    state.counters["png_bytes"] = static_cast<double>(png.size());
    for (auto _ : state) {
        std::string text = kest::text::base64_encode(png);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_Base64Of32x32IconPng);

void BM_IconDataUrl(benchmark::State& state) {
    kest::testing::FixturePixels fixture = kest::testing::fixture_icon_pixels(
        state.range(0) ? FixtureIcon::WithoutAlpha : FixtureIcon::WithAlpha);
    kest::platform::ShellIcon icon{kFixtureIconSize, kFixtureIconSize, fixture.rgba, fixture.mask};
    for (auto _ : state) {
        std::string url = kest::apps::icon_data_url(icon);
        benchmark::DoNotOptimize(url);
    }
}
// 0: an icon with alpha; 1: one without, whose opacity comes from its mask.
BENCHMARK(BM_IconDataUrl)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
