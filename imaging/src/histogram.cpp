// Histogram builders: single-array, Bayer (per filter colour) and RGB.
//
// Counting speed: consecutive samples of a picture often share a value, and
// incrementing the same bin twice in a row makes the second increment wait
// for the first to reach memory. The builders therefore count into several
// copies of each histogram ("lanes"): lane 0 is the caller's array, the others
// live on the stack for the call and are added into lane 0 at the end. The
// counts are the same as with one array. Lanes are fewer where bins are many,
// so that the extra lanes of a call stay within 20 KiB of stack.
//
// 10- and 12-bit samples are masked to their low 10 or 12 bits, so a value at
// or above the bin count lands in the bin of its low bits, never outside the
// array.
#include "imaging/histogram.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/src/debayer_scheme.h"

namespace {

using imaging::Colour;
using imaging::PhaseColour;

// kLanes copies of a histogram of kBins bins, lane 0 being the caller's array.
// All lanes start at zero; Finish() adds the extra lanes into lane 0.
template <uint32_t kBins, int kLanes>
class LanedBins {
 public:
  explicit LanedBins(uint32_t* out) : out_(out) {
    std::fill_n(out_, kBins, 0u);
    for (auto& lane : extra_) lane.fill(0);
  }
  uint32_t* Lane(int k) { return k == 0 ? out_ : extra_[k - 1].data(); }
  void Finish() {
    for (const auto& lane : extra_)
      for (uint32_t v = 0; v < kBins; ++v) out_[v] += lane[v];
  }

 private:
  uint32_t* out_;
  std::array<std::array<uint32_t, kBins>, kLanes - 1> extra_;
};

template <class T, uint32_t kBins>
constexpr uint32_t Bin(T sample) {
  return static_cast<uint32_t>(sample) & (kBins - 1);
}

template <class T, uint32_t kBins, int kLanes>
void CountSamples(const T* src, int32_t count, uint32_t* bins) {
  LanedBins<kBins, kLanes> tally(bins);
  uint32_t* lanes[kLanes];
  for (int k = 0; k < kLanes; ++k) lanes[k] = tally.Lane(k);
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) ++lanes[k][Bin<T, kBins>(src[i + k])];
  for (; i < n; ++i) ++lanes[0][Bin<T, kBins>(src[i])];
  tally.Finish();
}

// Bayer frame: kUnroll cells are counted per step; every site of those cells
// that has the same colour gets its own lane of that colour.
template <class T, uint32_t kBins, int kPhase, int kUnroll>
void CountBayer(const T* src, int32_t width, int32_t height, uint32_t* r, uint32_t* g,
                uint32_t* b) {
  // Colour of site s (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right).
  constexpr auto site = [](int s) { return PhaseColour(kPhase, s & 1, s >> 1); };
  constexpr auto sitesOf = [site](Colour c) {
    int n = 0;
    for (int s = 0; s < 4; ++s) n += site(s) == c;
    return n;
  };
  LanedBins<kBins, kUnroll * sitesOf(imaging::kRed)> red(r);
  LanedBins<kBins, kUnroll * sitesOf(imaging::kGreen)> green(g);
  LanedBins<kBins, kUnroll * sitesOf(imaging::kBlue)> blue(b);

  // lanes[u][s]: where site s of the u-th cell of a step counts.
  uint32_t* lanes[kUnroll][4];
  int used[3] = {0, 0, 0};
  for (int u = 0; u < kUnroll; ++u)
    for (int s = 0; s < 4; ++s) {
      const Colour c = site(s);
      const int k = used[c]++;
      lanes[u][s] = c == imaging::kRed     ? red.Lane(k)
                    : c == imaging::kGreen ? green.Lane(k)
                                           : blue.Lane(k);
    }

  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  const size_t cellRows = height > 0 ? static_cast<size_t>(height / 2) : 0;
  const size_t cells = w / 2;
  for (size_t i = 0; i < cellRows; ++i) {
    const T* top = src + 2 * i * w;
    const T* bottom = top + w;
    size_t j = 0;
    auto countCell = [&](size_t cell, int u) {
      ++lanes[u][0][Bin<T, kBins>(top[2 * cell])];
      ++lanes[u][1][Bin<T, kBins>(top[2 * cell + 1])];
      ++lanes[u][2][Bin<T, kBins>(bottom[2 * cell])];
      ++lanes[u][3][Bin<T, kBins>(bottom[2 * cell + 1])];
    };
    for (; j + kUnroll <= cells; j += kUnroll)
      for (int u = 0; u < kUnroll; ++u) countCell(j + u, u);
    for (; j < cells; ++j) countCell(j, 0);
  }
  red.Finish();
  green.Finish();
  blue.Finish();
}

// RGB image: channel words 0 (B), 1 (G), 2 (R) of each kStride-word pixel;
// kUnroll pixels per step, each with its own lane per channel.
template <class T, size_t kStride, uint32_t kBins, int kUnroll>
void CountRGB(const T* src, int32_t count, uint32_t* r, uint32_t* g, uint32_t* b) {
  LanedBins<kBins, kUnroll> red(r), green(g), blue(b);
  uint32_t* lanes[kUnroll][3];
  for (int u = 0; u < kUnroll; ++u) {
    lanes[u][0] = blue.Lane(u);
    lanes[u][1] = green.Lane(u);
    lanes[u][2] = red.Lane(u);
  }
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  auto countPixel = [&](const T* p, int u) {
    ++lanes[u][0][Bin<T, kBins>(p[0])];
    ++lanes[u][1][Bin<T, kBins>(p[1])];
    ++lanes[u][2][Bin<T, kBins>(p[2])];
  };
  size_t i = 0;
  for (; i + kUnroll <= n; i += kUnroll)
    for (int u = 0; u < kUnroll; ++u) countPixel(src + (i + u) * kStride, u);
  for (; i < n; ++i) countPixel(src + i * kStride, 0);
  red.Finish();
  green.Finish();
  blue.Finish();
}

}  // namespace

extern "C" {

void Histogram8Bit(const uint8_t* src, int32_t count, uint32_t* bins) {
  CountSamples<uint8_t, 256, 4>(src, count, bins);
}
void Histogram10Bit(const uint16_t* src, int32_t count, uint32_t* bins) {
  CountSamples<uint16_t, 1024, 4>(src, count, bins);
}
void Histogram12Bit(const uint16_t* src, int32_t count, uint32_t* bins) {
  CountSamples<uint16_t, 4096, 2>(src, count, bins);
}

#define IMAGING_DEFINE_BAYER_HISTOGRAMS(phase)                                                    \
  void HistogramBayer8Bit_##phase(const uint8_t* src, int32_t width, int32_t height, uint32_t* r, \
                                  uint32_t* g, uint32_t* b) {                                     \
    CountBayer<uint8_t, 256, BAYER_##phase, 2>(src, width, height, r, g, b);                      \
  }                                                                                               \
  void HistogramBayer10Bit_##phase(const uint16_t* src, int32_t width, int32_t height,            \
                                   uint32_t* r, uint32_t* g, uint32_t* b) {                       \
    CountBayer<uint16_t, 1024, BAYER_##phase, 2>(src, width, height, r, g, b);                    \
  }                                                                                               \
  void HistogramBayer12Bit_##phase(const uint16_t* src, int32_t width, int32_t height,            \
                                   uint32_t* r, uint32_t* g, uint32_t* b) {                       \
    CountBayer<uint16_t, 4096, BAYER_##phase, 1>(src, width, height, r, g, b);                    \
  }

IMAGING_DEFINE_BAYER_HISTOGRAMS(GRBG)
IMAGING_DEFINE_BAYER_HISTOGRAMS(GBRG)
IMAGING_DEFINE_BAYER_HISTOGRAMS(RGGB)
IMAGING_DEFINE_BAYER_HISTOGRAMS(BGGR)

void HistogramRGB24(const uint8_t* src, int32_t count, uint32_t* r, uint32_t* g, uint32_t* b) {
  CountRGB<uint8_t, 3, 256, 4>(src, count, r, g, b);
}
void HistogramRGB32(const uint8_t* src, int32_t count, uint32_t* r, uint32_t* g, uint32_t* b) {
  CountRGB<uint8_t, 4, 256, 4>(src, count, r, g, b);
}
void HistogramRGB48_10Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b) {
  CountRGB<uint16_t, 3, 1024, 2>(src, count, r, g, b);
}
void HistogramRGB64_10Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b) {
  CountRGB<uint16_t, 4, 1024, 2>(src, count, r, g, b);
}
void HistogramRGB48_12Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b) {
  CountRGB<uint16_t, 3, 4096, 1>(src, count, r, g, b);
}
void HistogramRGB64_12Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b) {
  CountRGB<uint16_t, 4, 4096, 1>(src, count, r, g, b);
}

}  // extern "C"
