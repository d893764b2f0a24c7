// Speed of colour correction, histograms and white balance on one
// 1920 x 1080 frame.
//
// Pictures: a smooth synthetic scene (sky gradient, sun, shaded hills, a soft
// blob; about 3,700 distinct colours), the same scene with sensor-like grain,
// noise in which every pixel has a different colour, the worst case for the
// colour cube, and a flat chart of 24 uniform patches, the best case. A copy
// of the same 6 MB in the same run is the yardstick of memory speed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "imaging/colorcorrection.h"
#include "imaging/histogram.h"
#include "imaging/src/colorcorrection_workers.h"
#include "imaging/src/cpu_features.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kPixels = kWidth * kHeight;

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); }

// RGB24 (B, G, R) smooth scene.
std::vector<uint8_t> SmoothScene() {
  std::vector<uint8_t> img(size_t(kPixels) * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double u = double(x) / kWidth, v = double(y) / kHeight;
      const double horizon = 0.55 + 0.08 * std::sin(u * 6.0) + 0.03 * std::sin(u * 17.0 + 1.0);
      double r, g, b;
      if (v < horizon) {  // sky, brighter towards the horizon, with a sun
        r = 70 + 120 * v, g = 110 + 100 * v, b = 200 + 40 * v;
        const double d = std::hypot(u - 0.72, (v - 0.22) * 0.56);
        const double sun = std::clamp(1.0 - (d - 0.05) / 0.04, 0.0, 1.0);
        r += (255 - r) * sun, g += (245 - g) * sun, b += (200 - b) * sun;
      } else {  // hills, shaded by slope and distance
        const double depth = (v - horizon) / (1 - horizon);
        const double shade = 0.6 + 0.4 * std::sin(u * 9.0 + depth * 4.0);
        r = (60 + 50 * depth) * shade, g = (90 + 80 * depth) * shade, b = (40 + 20 * depth) * shade;
        const double d = std::hypot(u - 0.3, v - 0.8);  // a red-roofed house-sized blob
        if (d < 0.06) r = 170 + 40 * (0.06 - d) * 10, g = 60, b = 50;
      }
      uint8_t* p = &img[(size_t(y) * kWidth + x) * 3];
      p[0] = Byte(b), p[1] = Byte(g), p[2] = Byte(r);
    }
  return img;
}

// RGB24 noise: every pixel a different colour (an invertible scramble of the
// pixel number within 24 bits).
std::vector<uint8_t> NoiseImage() {
  std::vector<uint8_t> img(size_t(kPixels) * 3);
  for (uint32_t i = 0; i < uint32_t(kPixels); ++i) {
    uint32_t c = (i * 2654435761u) & 0xFFFFFF;
    c ^= c >> 11;
    c = (c * 0x9E3779u) & 0xFFFFFF;
    img[3 * size_t(i)] = uint8_t(c), img[3 * size_t(i) + 1] = uint8_t(c >> 8);
    img[3 * size_t(i) + 2] = uint8_t(c >> 16);
  }
  return img;
}

// The smooth scene with sensor-like grain: every channel moved by -2..+2.
std::vector<uint8_t> GrainyScene(const std::vector<uint8_t>& scene) {
  std::vector<uint8_t> img = scene;
  uint32_t x = 12345;
  for (uint8_t& v : img) {
    x = x * 1664525u + 1013904223u;
    v = Byte(v + int((x >> 24) % 5) - 2);
  }
  return img;
}

// RGB24 natural scene without noise: every channel a slow wave across the
// frame in both directions (about 31,000 distinct colours, neighbours
// differing by at most one level per channel).
std::vector<uint8_t> GradientScene() {
  std::vector<uint8_t> img(size_t(kPixels) * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double u = double(x) / kWidth, v = double(y) / kHeight;
      uint8_t* p = &img[(size_t(y) * kWidth + x) * 3];
      p[2] = Byte(128 + 110 * std::sin(2.1 * u + 1.3 * v));
      p[1] = Byte(128 + 100 * std::sin(1.7 * v - 0.9 * u + 1));
      p[0] = Byte(128 + 90 * std::cos(1.3 * u + 2.2 * v));
    }
  return img;
}

// RGB24 chart: 6 x 4 flat patches of distinct colours.
std::vector<uint8_t> FlatChart() {
  std::vector<uint8_t> img(size_t(kPixels) * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const int patch = (y * 4 / kHeight) * 6 + x * 6 / kWidth;
      uint8_t* p = &img[(size_t(y) * kWidth + x) * 3];
      p[0] = uint8_t(40 + patch * 9), p[1] = uint8_t(200 - patch * 7), p[2] = uint8_t(patch * 11);
    }
  return img;
}

const std::vector<uint8_t>& Scene() {
  static const std::vector<uint8_t> img = SmoothScene();
  return img;
}
const std::vector<uint8_t>& Picture(int which) {
  static const std::vector<uint8_t> noise = NoiseImage();
  static const std::vector<uint8_t> grainy = GrainyScene(Scene());
  static const std::vector<uint8_t> chart = FlatChart();
  static const std::vector<uint8_t> gradients = GradientScene();
  switch (which) {
    case 0: return Scene();
    case 1: return noise;
    case 2: return grainy;
    case 3: return chart;
    default: return gradients;
  }
}
const char* PictureName(int which) {
  static const char* const names[] = {"smooth scene", "noise", "scene with grain", "flat chart",
                                      "natural gradients"};
  return names[which];
}

// The scene as the camera would deliver it: a GBRG mosaic, 8 or 12 bits.
template <class T>
std::vector<T> Mosaic(int shift) {
  const auto& img = Scene();
  std::vector<T> out(kPixels);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &img[(size_t(y) * kWidth + x) * 3];
      const int site = 2 * (y & 1) + (x & 1);  // G B / R G
      const int channel = site == 1 ? 0 : site == 2 ? 2 : 1;
      out[size_t(y) * kWidth + x] =
          static_cast<T>(p[channel] << shift | ((x + y) & ((1 << shift) - 1)));
    }
  return out;
}

void SetWarmLook(ColorCorrection* cc) {
  SetColorCorrectionParams(cc, 1.1, -3, 0.95, 2.5, 1.3, 0, 25, 1.4, 0.9, 0.03);
}

// ---------------------------------------------------------------------------

// Warm: the cube already holds the frame's colours. Cold: the first frame
// after a setter call, so that every distinct colour is computed once.
// Args: the picture, the inner loops (0 portable, 1 AVX2, 2 AVX-512 where
// the processor has them) and the worker threads of the object.
void ApplyFrames(benchmark::State& state, bool cold) {
  imaging::cpu::LimitVectors(static_cast<imaging::cpu::Vectors>(state.range(1)));
  const int defaultWorkers = imaging::cc::WorkerThreads();
  imaging::cc::SetWorkerThreads(int(state.range(2)));
  ColorCorrection* cc = CreateColorCorrection();
  imaging::cc::SetWorkerThreads(defaultWorkers);
  SetWarmLook(cc);
  const auto& src = Picture(int(state.range(0)));
  std::vector<uint8_t> work = src;
  ApplyColorCorrection(cc, work.data(), kWidth, kHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), src.data(), src.size());
    if (cold) SetWarmLook(cc);
    state.ResumeTiming();
    ApplyColorCorrection(cc, work.data(), kWidth, kHeight);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
  state.SetLabel(PictureName(int(state.range(0))));
  FreeColorCorrection(cc);
  imaging::cpu::LimitVectors(imaging::cpu::Vectors::kAvx512);
}
void BM_ApplyColorCorrection_Warm(benchmark::State& state) { ApplyFrames(state, false); }
void BM_ApplyColorCorrection_Cold(benchmark::State& state) { ApplyFrames(state, true); }
// Pictures from the best case to the worst.
void Pictures(benchmark::internal::Benchmark* b) {
  b->ArgNames({"picture", "vectors", "threads"});
  for (auto [vectors, threads] : {std::pair{0, 0}, {1, 0}, {2, 0}, {2, 3}})
    for (int which : {3, 0, 4, 2, 1}) b->Args({which, vectors, threads});
}
// Real time: a call split between threads is timed from start to end.
BENCHMARK(BM_ApplyColorCorrection_Warm)
    ->Apply(Pictures)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ApplyColorCorrection_Cold)
    ->Apply(Pictures)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The yardstick: one copy of a frame's 6 MB, timed as the corrections are.
void BM_Copy6MB(benchmark::State& state) {
  const auto& src = Scene();
  std::vector<uint8_t> work(src.size());
  for (auto _ : state) {
    std::memcpy(work.data(), src.data(), src.size());
    benchmark::DoNotOptimize(work.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(src.size()));
}
BENCHMARK(BM_Copy6MB)->Unit(benchmark::kMillisecond);

// The cost of one settings change.
void BM_SetColorCorrectionHSL(benchmark::State& state) {
  ColorCorrection* cc = CreateColorCorrection();
  double hue = 0;
  for (auto _ : state) {
    SetColorCorrectionHSL(cc, hue, 1.2, 1, 0);
    hue += 0.5;
  }
  FreeColorCorrection(cc);
}
BENCHMARK(BM_SetColorCorrectionHSL)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------

void BM_HistogramRGB24(benchmark::State& state) {
  const auto& img = Picture(int(state.range(0)));
  std::vector<uint32_t> r(256), g(256), b(256);
  for (auto _ : state) {
    HistogramRGB24(img.data(), kPixels, r.data(), g.data(), b.data());
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
  state.SetLabel(PictureName(int(state.range(0))));
}
BENCHMARK(BM_HistogramRGB24)->Arg(0)->Arg(2)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Histogram8Bit(benchmark::State& state) {
  const std::vector<uint8_t> frame = Mosaic<uint8_t>(0);
  std::vector<uint32_t> bins(256);
  for (auto _ : state) {
    Histogram8Bit(frame.data(), kPixels, bins.data());
    benchmark::DoNotOptimize(bins.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_Histogram8Bit)->Unit(benchmark::kMicrosecond);

void BM_HistogramBayer12Bit_GBRG(benchmark::State& state) {
  const std::vector<uint16_t> frame = Mosaic<uint16_t>(4);
  std::vector<uint32_t> r(4096), g(4096), b(4096);
  for (auto _ : state) {
    HistogramBayer12Bit_GBRG(frame.data(), kWidth, kHeight, r.data(), g.data(), b.data());
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_HistogramBayer12Bit_GBRG)->Unit(benchmark::kMicrosecond);

void BM_WhiteBalanceBayer16Bit_GBRG(benchmark::State& state) {
  const std::vector<uint16_t> frame = Mosaic<uint16_t>(4);
  double gOverR, gOverB;
  for (auto _ : state) {
    WhiteBalanceBayer16Bit_GBRG(frame.data(), kWidth, kHeight, &gOverR, &gOverB);
    benchmark::DoNotOptimize(gOverR);
    benchmark::DoNotOptimize(gOverB);
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_WhiteBalanceBayer16Bit_GBRG)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
