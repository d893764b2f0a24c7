// White-balance ratios: the green sum over the red sum and over the blue sum
// of an RGB image or of a Bayer frame's filter sites.
//
// Sums are accumulated in 32-bit partial sums over blocks short enough never
// to wrap (65,536 values below 65,536 each) and carried into 64-bit totals, so
// a frame of any size gives exact sums and the inner loops stay simple enough
// to vectorise.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/histogram.h"
#include "imaging/src/debayer_scheme.h"

namespace {

using imaging::PhaseColour;

constexpr size_t kBlock = 65536;

struct Sums {
  uint64_t red = 0, green = 0, blue = 0;
};

// Ratios of the sums; a zero divisor leaves its ratio at -1.0.
void StoreRatios(uint64_t green, uint64_t red, uint64_t blue, double* gOverR, double* gOverB) {
  if (red != 0) *gOverR = static_cast<double>(green) / static_cast<double>(red);
  if (blue != 0) *gOverB = static_cast<double>(green) / static_cast<double>(blue);
}

template <class T, size_t kStride>
void BalanceRGB(const T* src, int32_t count, double* gOverR, double* gOverB) {
  *gOverR = -1.0;
  *gOverB = -1.0;
  if (count <= 0) return;
  const size_t n = static_cast<size_t>(count);
  Sums total;
  for (size_t start = 0; start < n; start += kBlock) {
    const size_t stop = std::min(n, start + kBlock);
    uint32_t r = 0, g = 0, b = 0;
    for (size_t i = start; i < stop; ++i) {
      const T* p = src + i * kStride;
      b += p[0];
      g += p[1];
      r += p[2];
    }
    total.red += r;
    total.green += g;
    total.blue += b;
  }
  StoreRatios(total.green, total.red, total.blue, gOverR, gOverB);
}

// Sums of one row pair of cells; the sites are fixed by the phase.
template <class T, int kPhase>
void SumCellRow(const T* top, const T* bottom, size_t cells, Sums& total) {
  // Sites of a cell: top-left, top-right, bottom-left, bottom-right.
  constexpr imaging::Colour tl = PhaseColour(kPhase, 0, 0), tr = PhaseColour(kPhase, 1, 0),
                            bl = PhaseColour(kPhase, 0, 1), br = PhaseColour(kPhase, 1, 1);
  // Cells per block: two samples of one colour per cell at most, each below
  // 65,536, so a 32-bit block sum cannot wrap.
  constexpr size_t kCellsPerBlock = kBlock / 2;
  for (size_t start = 0; start < cells; start += kCellsPerBlock) {
    const size_t stop = std::min(cells, start + kCellsPerBlock);
    uint32_t s[3] = {0, 0, 0};
    for (size_t j = start; j < stop; ++j) {
      s[tl] += top[2 * j];
      s[tr] += top[2 * j + 1];
      s[bl] += bottom[2 * j];
      s[br] += bottom[2 * j + 1];
    }
    total.red += s[imaging::kRed];
    total.green += s[imaging::kGreen];
    total.blue += s[imaging::kBlue];
  }
}

template <class T, int kPhase>
void BalanceBayer(const T* src, int32_t width, int32_t height, double* gOverR, double* gOverB) {
  *gOverR = -1.0;
  *gOverB = -1.0;
  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  const size_t cellRows = height > 0 ? static_cast<size_t>(height / 2) : 0;
  const size_t cells = w / 2;
  Sums total;
  for (size_t i = 0; i < cellRows; ++i) {
    const T* top = src + 2 * i * w;
    SumCellRow<T, kPhase>(top, top + w, cells, total);
  }
  // Each cell has two green sites: their sum is halved (rounded down).
  StoreRatios(total.green >> 1, total.red, total.blue, gOverR, gOverB);
}

}  // namespace

extern "C" {

void WhiteBalanceRGB24(const uint8_t* src, int32_t count, double* gOverR, double* gOverB) {
  BalanceRGB<uint8_t, 3>(src, count, gOverR, gOverB);
}
void WhiteBalanceRGB32(const uint8_t* src, int32_t count, double* gOverR, double* gOverB) {
  BalanceRGB<uint8_t, 4>(src, count, gOverR, gOverB);
}
void WhiteBalanceRGB48(const uint16_t* src, int32_t count, double* gOverR, double* gOverB) {
  BalanceRGB<uint16_t, 3>(src, count, gOverR, gOverB);
}
void WhiteBalanceRGB64(const uint16_t* src, int32_t count, double* gOverR, double* gOverB) {
  BalanceRGB<uint16_t, 4>(src, count, gOverR, gOverB);
}

#define IMAGING_DEFINE_BAYER_WHITE_BALANCE(phase)                                         \
  void WhiteBalanceBayer8Bit_##phase(const uint8_t* src, int32_t width, int32_t height,   \
                                     double* gOverR, double* gOverB) {                    \
    BalanceBayer<uint8_t, BAYER_##phase>(src, width, height, gOverR, gOverB);             \
  }                                                                                       \
  void WhiteBalanceBayer16Bit_##phase(const uint16_t* src, int32_t width, int32_t height, \
                                      double* gOverR, double* gOverB) {                   \
    BalanceBayer<uint16_t, BAYER_##phase>(src, width, height, gOverR, gOverB);            \
  }

IMAGING_DEFINE_BAYER_WHITE_BALANCE(GRBG)
IMAGING_DEFINE_BAYER_WHITE_BALANCE(GBRG)
IMAGING_DEFINE_BAYER_WHITE_BALANCE(RGGB)
IMAGING_DEFINE_BAYER_WHITE_BALANCE(BGGR)

int32_t WhiteBalanceGains(double gOverR, double gOverB, double* gains) {
  if (!(gOverR > 0 && gOverB > 0)) return 0;  // NaN included
  const double n = 0.3 * gOverR + 0.59 + 0.11 * gOverB;
  gains[0] = gOverR / n;
  gains[1] = 1 / n;
  gains[2] = gOverB / n;
  return 1;
}

}  // extern "C"
