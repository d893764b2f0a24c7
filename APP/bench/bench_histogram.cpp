// The histogram windows' work per rendered frame on 1080p data: counting and
// statistics (UpdateRAW, UpdateRGB) and drawing the picture, each on its own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "APP/control/Commands.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"
#include "common/bench/QtBenchmarkMain.h"

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

template <class Sample>
std::vector<Sample> Noise(std::size_t count, unsigned limit) {
  std::mt19937 random(7);
  std::vector<Sample> samples(count);
  for (Sample& s : samples) s = static_cast<Sample>(random() % limit);
  return samples;
}

// args: bits (8, 10, 12), grey view.
void BM_UpdateRAW(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const auto samples8 = Noise<std::uint8_t>(Width * Height, 256);
  const auto samples16 = Noise<std::uint16_t>(Width * Height, 1u << bits);
  const void* data = bits == 8 ? static_cast<const void*>(samples8.data()) : samples16.data();
  HistogramFormRAW->MonoView = static_cast<std::uint8_t>(state.range(1));
  for (auto _ : state) HistogramFormRAW->UpdateRAW(data, Width, Height, bits);
}

// args: bits (8, 10, 12), grey view.
void BM_DrawRAW(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const auto samples = Noise<std::uint16_t>(Width * Height, 1u << bits);
  const auto samples8 = Noise<std::uint8_t>(Width * Height, 256);
  HistogramFormRAW->MonoView = static_cast<std::uint8_t>(state.range(1));
  HistogramFormRAW->UpdateRAW(
      bits == 8 ? static_cast<const void*>(samples8.data()) : samples.data(), Width, Height, bits);
  for (auto _ : state) benchmark::DoNotOptimize(HistogramFormRAW->DrawPicture());
}

// args: grey view.
void BM_UpdateRGB(benchmark::State& state) {
  const auto image = Noise<std::uint8_t>(3 * Width * Height, 256);
  HistogramFormRGB->MonoView = static_cast<std::uint8_t>(state.range(0));
  for (auto _ : state) HistogramFormRGB->UpdateRGB(image.data(), Width, Height, 24);
}

// args: grey view (the statistics are written on every paint).
void BM_DrawRGB(benchmark::State& state) {
  const auto image = Noise<std::uint8_t>(3 * Width * Height, 256);
  HistogramFormRGB->MonoView = static_cast<std::uint8_t>(state.range(0));
  HistogramFormRGB->UpdateRGB(image.data(), Width, Height, 24);
  for (auto _ : state) benchmark::DoNotOptimize(HistogramFormRGB->DrawPicture());
}

void DepthsAndViews(benchmark::internal::Benchmark* b) {
  b->ArgNames({"bits", "mono"});
  for (int bits : {8, 10, 12})
    for (int mono : {0, 1}) b->Args({bits, mono});
}

}  // namespace

BENCHMARK(BM_UpdateRAW)->Apply(DepthsAndViews)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawRAW)->Apply(DepthsAndViews)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateRGB)->ArgName("mono")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawRGB)->ArgName("mono")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

[[maybe_unused]] const bool Registered = SetBenchmarkProgram([] {
  CommandsUnitInit();
  HistogramFormRGB = new THistogramFormRGB;
  HistogramFormRGB->FormCreate();
  HistogramFormRAW = new THistogramFormRAW;
  HistogramFormRAW->FormCreate();
});
