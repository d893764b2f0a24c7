// Benchmarks of the cell demosaic families on a 1920 x 1080 frame: the GBRG
// 8to24 member that both GUI programs call, for Mono, Bayer, Nearest, Bin2x2
// and Preview. Bytes per second count the source frame. Target on one core:
// < 0.6 ms per frame for each.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/debayer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr size_t kSamples = static_cast<size_t>(kWidth) * kHeight;

void RunMember(benchmark::State& state, Debayer8Func member) {
  std::mt19937 rng(5);
  std::vector<uint8_t> src(kSamples);
  for (auto& s : src) s = static_cast<uint8_t>(rng());
  std::vector<uint8_t> dst(kSamples * 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(member(src.data(), kWidth, kHeight, dst.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(kSamples));
}

void BM_DebayerMono_8to24_GBRG(benchmark::State& s) { RunMember(s, DebayerMono_8to24_GBRG); }
void BM_DebayerBayer_8to24_GBRG(benchmark::State& s) { RunMember(s, DebayerBayer_8to24_GBRG); }
void BM_DebayerNearest_8to24_GBRG(benchmark::State& s) { RunMember(s, DebayerNearest_8to24_GBRG); }
void BM_DebayerBin2x2_8to24_GBRG(benchmark::State& s) { RunMember(s, DebayerBin2x2_8to24_GBRG); }
void BM_DebayerPreview_8to24_GBRG(benchmark::State& s) { RunMember(s, DebayerPreview_8to24_GBRG); }

BENCHMARK(BM_DebayerMono_8to24_GBRG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DebayerBayer_8to24_GBRG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DebayerNearest_8to24_GBRG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DebayerBin2x2_8to24_GBRG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DebayerPreview_8to24_GBRG)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
