// Tests of the histogram builders against counts made here pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/histogram.h"

namespace {

using Bins = std::vector<uint32_t>;
constexpr uint32_t kGarbage = 0xDEADBEEF;

using Bayer8 = void (*)(const uint8_t*, int32_t, int32_t, uint32_t*, uint32_t*, uint32_t*);
using Bayer16 = void (*)(const uint16_t*, int32_t, int32_t, uint32_t*, uint32_t*, uint32_t*);

struct BayerCase {
  const char* phase;  // letters of the cell, row by row
  Bayer8 eight;
  Bayer16 ten;
  Bayer16 twelve;
};

// Listed in the library's member order.
const BayerCase kBayer[] = {
    {"GRBG", HistogramBayer8Bit_GRBG, HistogramBayer10Bit_GRBG, HistogramBayer12Bit_GRBG},
    {"GBRG", HistogramBayer8Bit_GBRG, HistogramBayer10Bit_GBRG, HistogramBayer12Bit_GBRG},
    {"RGGB", HistogramBayer8Bit_RGGB, HistogramBayer10Bit_RGGB, HistogramBayer12Bit_RGGB},
    {"BGGR", HistogramBayer8Bit_BGGR, HistogramBayer10Bit_BGGR, HistogramBayer12Bit_BGGR},
};

struct Rgb3 {
  Bins r, g, b;
  explicit Rgb3(size_t bins) : r(bins, kGarbage), g(bins, kGarbage), b(bins, kGarbage) {}
  bool operator==(const Rgb3&) const = default;
};

uint64_t Sum(const Bins& bins) {
  uint64_t s = 0;
  for (uint32_t v : bins) s += v;
  return s;
}

// Counts of a Bayer frame, sample by sample: the colour of the sample at
// (x, y) is letter 2 * (y % 2) + x % 2; the odd last row and column are left
// out; values are taken by their low bits.
template <class T>
Rgb3 ReferenceBayer(const std::vector<T>& frame, int w, int h, const char* phase, size_t bins) {
  Rgb3 out(bins);
  out.r.assign(bins, 0), out.g.assign(bins, 0), out.b.assign(bins, 0);
  for (int y = 0; y < (h / 2) * 2; ++y)
    for (int x = 0; x < (w / 2) * 2; ++x) {
      const uint32_t v = frame[size_t(y) * w + x] % bins;
      switch (phase[2 * (y % 2) + x % 2]) {
        case 'R': ++out.r[v]; break;
        case 'G': ++out.g[v]; break;
        default: ++out.b[v]; break;
      }
    }
  return out;
}

template <class T>
std::vector<T> RandomSamples(size_t n, uint32_t limit, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<T> v(n);
  for (T& x : v) x = static_cast<T>(rng() % limit);
  return v;
}

// ---------------------------------------------------------------------------

TEST(HistogramSingle, WorkedCountsAndClearing) {
  const std::vector<uint8_t> samples = {0, 255, 7, 7, 7, 128};
  Bins bins(256, kGarbage);
  Histogram8Bit(samples.data(), 6, bins.data());
  Bins want(256, 0);
  want[0] = 1, want[255] = 1, want[7] = 3, want[128] = 1;
  EXPECT_EQ(bins, want);
  // Only the first `count` samples count; a later call leaves only its counts.
  Histogram8Bit(samples.data(), 3, bins.data());
  want.assign(256, 0);
  want[0] = 1, want[255] = 1, want[7] = 1;
  EXPECT_EQ(bins, want);
  for (int32_t count : {0, -5}) {
    bins.assign(256, kGarbage);
    Histogram8Bit(samples.data(), count, bins.data());
    EXPECT_EQ(bins, Bins(256, 0));
    Bins b10(1024, kGarbage), b12(4096, kGarbage);
    Histogram10Bit(nullptr, count, b10.data());
    Histogram12Bit(nullptr, count, b12.data());
    EXPECT_EQ(b10, Bins(1024, 0));
    EXPECT_EQ(b12, Bins(4096, 0));
  }
}

TEST(HistogramSingle, MatchesReferenceAtEveryDepth) {
  for (int32_t n : {1, 3, 4, 5, 1001, 65537}) {
    const auto s8 = RandomSamples<uint8_t>(n, 256, n);
    const auto s10 = RandomSamples<uint16_t>(n, 1024, n + 1);
    const auto s12 = RandomSamples<uint16_t>(n, 4096, n + 2);
    Bins b8(256, kGarbage), b10(1024, kGarbage), b12(4096, kGarbage);
    Histogram8Bit(s8.data(), n, b8.data());
    Histogram10Bit(s10.data(), n, b10.data());
    Histogram12Bit(s12.data(), n, b12.data());
    Bins w8(256, 0), w10(1024, 0), w12(4096, 0);
    for (int32_t i = 0; i < n; ++i) ++w8[s8[i]], ++w10[s10[i]], ++w12[s12[i]];
    EXPECT_EQ(b8, w8) << n;
    EXPECT_EQ(b10, w10) << n;
    EXPECT_EQ(b12, w12) << n;
  }
  // A flat run (every sample in one bin) counts fully.
  const std::vector<uint16_t> flat(10007, 1000);
  Bins b12(4096, kGarbage);
  Histogram12Bit(flat.data(), 10007, b12.data());
  EXPECT_EQ(b12[1000], 10007u);
  EXPECT_EQ(Sum(b12), 10007u);
}

TEST(HistogramSingle, SamplesAboveTheRangeCountByTheirLowBits) {
  const std::vector<uint16_t> s = {1024 + 5, 0xFFFF, 4096 + 9, 1023, 4095};
  Bins b10(1024, kGarbage), b12(4096, kGarbage);
  Histogram10Bit(s.data(), 5, b10.data());
  Histogram12Bit(s.data(), 5, b12.data());
  EXPECT_EQ(b10[5], 1u);
  EXPECT_EQ(b10[1023], 3u);  // 0xFFFF, 1023, 4095
  EXPECT_EQ(b10[9], 1u);
  EXPECT_EQ(Sum(b10), 5u);
  EXPECT_EQ(b12[1029], 1u);
  EXPECT_EQ(b12[4095], 2u);
  EXPECT_EQ(b12[9], 1u);
  EXPECT_EQ(b12[1023], 1u);
  EXPECT_EQ(Sum(b12), 5u);
}

// ---------------------------------------------------------------------------

TEST(HistogramBayer, WorkedFrame) {
  const std::vector<uint8_t> frame = {10, 20, 30, 40, 50, 60, 70, 80};
  Rgb3 gbrg(256), grbg(256);
  HistogramBayer8Bit_GBRG(frame.data(), 4, 2, gbrg.r.data(), gbrg.g.data(), gbrg.b.data());
  HistogramBayer8Bit_GRBG(frame.data(), 4, 2, grbg.r.data(), grbg.g.data(), grbg.b.data());
  Bins r(256, 0), g(256, 0), b(256, 0);
  g[10] = g[30] = g[60] = g[80] = 1;
  b[20] = b[40] = 1;
  r[50] = r[70] = 1;
  EXPECT_EQ(gbrg.g, g);
  EXPECT_EQ(gbrg.b, b);
  EXPECT_EQ(gbrg.r, r);
  EXPECT_EQ(grbg.g, g);
  EXPECT_EQ(grbg.r, b);  // red and blue swap
  EXPECT_EQ(grbg.b, r);
}

TEST(HistogramBayer, OddLastRowAndColumnAreNotCounted) {
  // 5 x 3: samples in row 2 or column 4 are 200..214, never counted.
  std::vector<uint8_t> frame(15);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) frame[y * 5 + x] = (y == 2 || x == 4) ? 200 + y * 5 + x : 1 + y * 5 + x;
  for (const BayerCase& c : kBayer) {
    Rgb3 got(256);
    c.eight(frame.data(), 5, 3, got.r.data(), got.g.data(), got.b.data());
    EXPECT_EQ(Sum(got.r) + Sum(got.g) + Sum(got.b), 8u) << c.phase;
    for (uint32_t v = 200; v < 256; ++v) EXPECT_EQ(got.r[v] + got.g[v] + got.b[v], 0u);
    EXPECT_EQ(got, ReferenceBayer(frame, 5, 3, c.phase, 256)) << c.phase;
  }
}

TEST(HistogramBayer, SmallFramesLeaveEveryArrayZero) {
  const std::vector<uint16_t> frame(64, 3);
  const std::vector<uint8_t> frame8(64, 3);
  for (const BayerCase& c : kBayer)
    for (auto [w, h] : {std::pair{1, 8}, std::pair{8, 1}, std::pair{0, 8}, std::pair{-4, 8},
                        std::pair{8, -4}}) {
      Rgb3 a(256), b(1024), d(4096);
      c.eight(frame8.data(), w, h, a.r.data(), a.g.data(), a.b.data());
      c.ten(frame.data(), w, h, b.r.data(), b.g.data(), b.b.data());
      c.twelve(frame.data(), w, h, d.r.data(), d.g.data(), d.b.data());
      EXPECT_EQ(Sum(a.r) + Sum(a.g) + Sum(a.b), 0u);
      EXPECT_EQ(Sum(b.r) + Sum(b.g) + Sum(b.b), 0u);
      EXPECT_EQ(Sum(d.r) + Sum(d.g) + Sum(d.b), 0u);
    }
}

// Every phase and depth against the reference, on even and odd sizes, with
// the arrays cleared on entry and the totals W x H / 2 for green and W x H / 4
// for red and blue.
TEST(HistogramBayer, EveryPhaseAndDepthMatchesReference) {
  for (auto [w, h] : {std::pair{2, 2}, std::pair{6, 4}, std::pair{7, 5}, std::pair{64, 30},
                      std::pair{129, 77}, std::pair{640, 480}}) {
    const size_t n = size_t(w) * h;
    const auto f8 = RandomSamples<uint8_t>(n, 256, w);
    const auto f10 = RandomSamples<uint16_t>(n, 1024, h);
    const auto f12 = RandomSamples<uint16_t>(n, 4096, w + h);
    const uint64_t cells = uint64_t(w / 2) * (h / 2);
    for (const BayerCase& c : kBayer) {
      SCOPED_TRACE(std::string(c.phase) + " " + std::to_string(w) + "x" + std::to_string(h));
      Rgb3 a(256), b(1024), d(4096);
      c.eight(f8.data(), w, h, a.r.data(), a.g.data(), a.b.data());
      c.ten(f10.data(), w, h, b.r.data(), b.g.data(), b.b.data());
      c.twelve(f12.data(), w, h, d.r.data(), d.g.data(), d.b.data());
      EXPECT_EQ(a, ReferenceBayer(f8, w, h, c.phase, 256));
      EXPECT_EQ(b, ReferenceBayer(f10, w, h, c.phase, 1024));
      EXPECT_EQ(d, ReferenceBayer(f12, w, h, c.phase, 4096));
      for (const Rgb3* x : {&a, &b, &d}) {
        EXPECT_EQ(Sum(x->g), 2 * cells);
        EXPECT_EQ(Sum(x->r), cells);
        EXPECT_EQ(Sum(x->b), cells);
      }
    }
  }
}

TEST(HistogramBayer, FlatFramesAndOutOfRangeSamples) {
  const int w = 100, h = 60;
  std::vector<uint16_t> flat(size_t(w) * h, 777);
  for (const BayerCase& c : kBayer) {
    Rgb3 d(4096);
    c.twelve(flat.data(), w, h, d.r.data(), d.g.data(), d.b.data());
    EXPECT_EQ(d.g[777], 3000u);
    EXPECT_EQ(d.r[777], 1500u);
    EXPECT_EQ(d.b[777], 1500u);
  }
  // Values beyond 10 or 12 bits count by their low bits.
  const auto wild = RandomSamples<uint16_t>(size_t(w) * h, 65536, 99);
  for (const BayerCase& c : kBayer) {
    Rgb3 b(1024), d(4096);
    c.ten(wild.data(), w, h, b.r.data(), b.g.data(), b.b.data());
    c.twelve(wild.data(), w, h, d.r.data(), d.g.data(), d.b.data());
    EXPECT_EQ(b, ReferenceBayer(wild, w, h, c.phase, 1024)) << c.phase;
    EXPECT_EQ(d, ReferenceBayer(wild, w, h, c.phase, 4096)) << c.phase;
  }
}

// ---------------------------------------------------------------------------

template <class T>
Rgb3 ReferenceRGB(const std::vector<T>& img, int32_t count, int stride, size_t bins) {
  Rgb3 out(bins);
  out.r.assign(bins, 0), out.g.assign(bins, 0), out.b.assign(bins, 0);
  for (int32_t i = 0; i < count; ++i) {
    ++out.b[img[size_t(i) * stride] % bins];
    ++out.g[img[size_t(i) * stride + 1] % bins];
    ++out.r[img[size_t(i) * stride + 2] % bins];
  }
  return out;
}

TEST(HistogramRGB, EveryShapeMatchesReference) {
  for (int32_t n : {1, 2, 3, 1000, 4097}) {
    const auto i24 = RandomSamples<uint8_t>(size_t(n) * 3, 256, n);
    const auto i32 = RandomSamples<uint8_t>(size_t(n) * 4, 256, n + 1);
    const auto i48 = RandomSamples<uint16_t>(size_t(n) * 3, 4096, n + 2);
    const auto i64 = RandomSamples<uint16_t>(size_t(n) * 4, 4096, n + 3);
    Rgb3 a(256), b(256), c(1024), d(1024), e(4096), f(4096);
    HistogramRGB24(i24.data(), n, a.r.data(), a.g.data(), a.b.data());
    HistogramRGB32(i32.data(), n, b.r.data(), b.g.data(), b.b.data());
    HistogramRGB48_10Bit(i48.data(), n, c.r.data(), c.g.data(), c.b.data());
    HistogramRGB64_10Bit(i64.data(), n, d.r.data(), d.g.data(), d.b.data());
    HistogramRGB48_12Bit(i48.data(), n, e.r.data(), e.g.data(), e.b.data());
    HistogramRGB64_12Bit(i64.data(), n, f.r.data(), f.g.data(), f.b.data());
    SCOPED_TRACE(n);
    EXPECT_EQ(a, ReferenceRGB(i24, n, 3, 256));
    EXPECT_EQ(b, ReferenceRGB(i32, n, 4, 256));
    EXPECT_EQ(c, ReferenceRGB(i48, n, 3, 1024));  // 12-bit values masked to 10 bits
    EXPECT_EQ(d, ReferenceRGB(i64, n, 4, 1024));
    EXPECT_EQ(e, ReferenceRGB(i48, n, 3, 4096));
    EXPECT_EQ(f, ReferenceRGB(i64, n, 4, 4096));
    for (const Rgb3* x : {&a, &b, &c, &d, &e, &f}) {
      EXPECT_EQ(Sum(x->r), uint64_t(n));
      EXPECT_EQ(Sum(x->g), uint64_t(n));
      EXPECT_EQ(Sum(x->b), uint64_t(n));
    }
  }
}

TEST(HistogramRGB, WorkedPixelAndFourthChannel) {
  const std::vector<uint8_t> px24 = {10, 20, 30};
  Rgb3 a(256);
  HistogramRGB24(px24.data(), 1, a.r.data(), a.g.data(), a.b.data());
  EXPECT_EQ(a.b[10], 1u);
  EXPECT_EQ(a.g[20], 1u);
  EXPECT_EQ(a.r[30], 1u);
  EXPECT_EQ(Sum(a.r) + Sum(a.g) + Sum(a.b), 3u);

  // The fourth byte or word changes nothing.
  auto i32 = RandomSamples<uint8_t>(400, 256, 5);
  auto i64 = RandomSamples<uint16_t>(400, 4096, 6);
  Rgb3 b0(256), c0(1024), d0(4096), b1(256), c1(1024), d1(4096);
  for (size_t i = 3; i < 400; i += 4) i32[i] = 0, i64[i] = 0;
  HistogramRGB32(i32.data(), 100, b0.r.data(), b0.g.data(), b0.b.data());
  HistogramRGB64_10Bit(i64.data(), 100, c0.r.data(), c0.g.data(), c0.b.data());
  HistogramRGB64_12Bit(i64.data(), 100, d0.r.data(), d0.g.data(), d0.b.data());
  for (size_t i = 3; i < 400; i += 4) i32[i] = 0xAB, i64[i] = 0xFFFF;
  HistogramRGB32(i32.data(), 100, b1.r.data(), b1.g.data(), b1.b.data());
  HistogramRGB64_10Bit(i64.data(), 100, c1.r.data(), c1.g.data(), c1.b.data());
  HistogramRGB64_12Bit(i64.data(), 100, d1.r.data(), d1.g.data(), d1.b.data());
  EXPECT_EQ(b0, b1);
  EXPECT_EQ(c0, c1);
  EXPECT_EQ(d0, d1);

  // Count zero or less: all arrays zero.
  for (int32_t count : {0, -1}) {
    Rgb3 z(256), z4(4096);
    HistogramRGB24(px24.data(), count, z.r.data(), z.g.data(), z.b.data());
    HistogramRGB64_12Bit(i64.data(), count, z4.r.data(), z4.g.data(), z4.b.data());
    EXPECT_EQ(Sum(z.r) + Sum(z.g) + Sum(z.b) + Sum(z4.r) + Sum(z4.g) + Sum(z4.b), 0u);
  }
}

}  // namespace
