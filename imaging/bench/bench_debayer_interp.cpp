// Speed of the interpolating demosaic families (bilinear, adaptive,
// Laplacian) on a 1920 x 1080 frame, single-threaded: the GBRG member of every
// format (with the best vector code of the processor), the 8to24 and 16to48
// members again through the AVX2-only and the portable loops, and,
// when built with QDV_BENCH_WITH_OPENCV, OpenCV's demosaicing of the same
// frame (bilinear, edge-aware and VNG) for comparison in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/debayer.h"
#include "imaging/src/debayer_interp_simd.h"

#ifdef QDV_BENCH_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A smooth scene with a little noise, as the camera delivers it; 12-bit
// samples in the 16-bit frame and their top 8 bits in the 8-bit frame.
const std::vector<uint16_t>& Frame16() {
  static const std::vector<uint16_t> frame = [] {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> noise(-24, 24);
    std::vector<uint16_t> f(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        int v =
            (x * 2600) / kWidth + (y * 1200) / kHeight + ((x / 97 + y / 61) % 3) * 100 + noise(rng);
        f[static_cast<size_t>(y) * kWidth + x] = static_cast<uint16_t>(std::clamp(v, 0, 4095));
      }
    return f;
  }();
  return frame;
}

const std::vector<uint8_t>& Frame8() {
  static const std::vector<uint8_t> frame = [] {
    std::vector<uint8_t> f;
    for (uint16_t v : Frame16()) f.push_back(static_cast<uint8_t>(v >> 4));
    return f;
  }();
  return frame;
}

template <class S>
using Member = int32_t (*)(const S*, int32_t, int32_t, S*);

template <class S>
void Demosaic(benchmark::State& state, Member<S> member, int channels,
              imaging::cpu::Vectors vectors) {
  const std::vector<S>* src;
  if constexpr (sizeof(S) == 1)
    src = &Frame8();
  else
    src = &Frame16();
  std::vector<S> dst(static_cast<size_t>(kWidth) * kHeight * channels);
  imaging::cpu::LimitVectors(vectors);
  for (auto _ : state) {
    benchmark::DoNotOptimize(member(src->data(), kWidth, kHeight, dst.data()));
    benchmark::ClobberMemory();
  }
  imaging::cpu::LimitVectors(imaging::cpu::Vectors::kAvx512);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
void Demosaic8(benchmark::State& state, Member<uint8_t> member, int channels,
               imaging::cpu::Vectors vectors) {
  Demosaic<uint8_t>(state, member, channels, vectors);
}
void Demosaic16(benchmark::State& state, Member<uint16_t> member, int channels,
                imaging::cpu::Vectors vectors) {
  Demosaic<uint16_t>(state, member, channels, vectors);
}

constexpr auto kBest = imaging::cpu::Vectors::kAvx512;  // the best this processor has
constexpr auto kAvx2 = imaging::cpu::Vectors::kAvx2;
constexpr auto kPortable = imaging::cpu::Vectors::kNone;

#define BENCH_MEMBER(Runner, Family, fmt, channels, vectors, suffix)                       \
  BENCHMARK_CAPTURE(Runner, Family##_##fmt##_GBRG##suffix, Debayer##Family##_##fmt##_GBRG, \
                    channels, vectors)                                                     \
      ->Unit(benchmark::kMicrosecond);

// Every format, then the 8to24 and 16to48 members through the AVX2 and the
// portable loops.
#define BENCH_FAMILY(Family)                                      \
  BENCH_MEMBER(Demosaic8, Family, 8to24, 3, kBest, )              \
  BENCH_MEMBER(Demosaic8, Family, 8to32, 4, kBest, )              \
  BENCH_MEMBER(Demosaic16, Family, 16to48, 3, kBest, )            \
  BENCH_MEMBER(Demosaic16, Family, 16to64, 4, kBest, )            \
  BENCH_MEMBER(Demosaic8, Family, 8to24, 3, kAvx2, _avx2)         \
  BENCH_MEMBER(Demosaic16, Family, 16to48, 3, kAvx2, _avx2)       \
  BENCH_MEMBER(Demosaic8, Family, 8to24, 3, kPortable, _portable) \
  BENCH_MEMBER(Demosaic16, Family, 16to48, 3, kPortable, _portable)

BENCH_FAMILY(Bilinear)
BENCH_FAMILY(Adaptive)
BENCH_FAMILY(Laplacian)

#ifdef QDV_BENCH_WITH_OPENCV
void OpenCv(benchmark::State& state, bool sixteen, int code) {
  cv::setNumThreads(1);
  cv::Mat src = sixteen
                    ? cv::Mat(kHeight, kWidth, CV_16UC1, const_cast<uint16_t*>(Frame16().data()))
                    : cv::Mat(kHeight, kWidth, CV_8UC1, const_cast<uint8_t*>(Frame8().data()));
  cv::Mat dst(kHeight, kWidth, sixteen ? CV_16UC3 : CV_8UC3);
  for (auto _ : state) {
    cv::demosaicing(src, dst, code);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK_CAPTURE(OpenCv, BayerGB2BGR_8, false, cv::COLOR_BayerGB2BGR)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenCv, BayerGB2BGR_EA_8, false, cv::COLOR_BayerGB2BGR_EA)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenCv, BayerGB2BGR_VNG_8, false, cv::COLOR_BayerGB2BGR_VNG)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenCv, BayerGB2BGR_16, true, cv::COLOR_BayerGB2BGR)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenCv, BayerGB2BGR_EA_16, true, cv::COLOR_BayerGB2BGR_EA)
    ->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();
