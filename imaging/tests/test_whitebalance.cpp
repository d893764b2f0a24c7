// Tests of the white-balance ratios against sums made here pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/histogram.h"

namespace {

constexpr double kUnset = 12345.0;  // a value the functions must overwrite

using Bayer8 = void (*)(const uint8_t*, int32_t, int32_t, double*, double*);
using Bayer16 = void (*)(const uint16_t*, int32_t, int32_t, double*, double*);

struct BayerCase {
  const char* phase;
  Bayer8 eight;
  Bayer16 sixteen;
};

const BayerCase kBayer[] = {
    {"GRBG", WhiteBalanceBayer8Bit_GRBG, WhiteBalanceBayer16Bit_GRBG},
    {"GBRG", WhiteBalanceBayer8Bit_GBRG, WhiteBalanceBayer16Bit_GBRG},
    {"RGGB", WhiteBalanceBayer8Bit_RGGB, WhiteBalanceBayer16Bit_RGGB},
    {"BGGR", WhiteBalanceBayer8Bit_BGGR, WhiteBalanceBayer16Bit_BGGR},
};

struct Ratios {
  double gOverR = kUnset, gOverB = kUnset;
};

Ratios FromSums(uint64_t green, uint64_t red, uint64_t blue) {
  Ratios r{-1.0, -1.0};
  if (red) r.gOverR = double(green) / double(red);
  if (blue) r.gOverB = double(green) / double(blue);
  return r;
}

template <class T>
Ratios ReferenceBayer(const std::vector<T>& f, int w, int h, const char* phase) {
  uint64_t sum[3] = {0, 0, 0};  // R, G, B
  for (int y = 0; y < (h / 2) * 2; ++y)
    for (int x = 0; x < (w / 2) * 2; ++x) {
      const char c = phase[2 * (y % 2) + x % 2];
      sum[c == 'R' ? 0 : c == 'G' ? 1 : 2] += f[size_t(y) * w + x];
    }
  return FromSums(sum[1] / 2, sum[0], sum[2]);
}

template <class T>
Ratios ReferenceRGB(const std::vector<T>& img, int32_t count, int stride) {
  uint64_t r = 0, g = 0, b = 0;
  for (int32_t i = 0; i < count; ++i) {
    b += img[size_t(i) * stride];
    g += img[size_t(i) * stride + 1];
    r += img[size_t(i) * stride + 2];
  }
  return FromSums(g, r, b);
}

template <class T>
std::vector<T> RandomSamples(size_t n, uint32_t limit, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<T> v(n);
  for (T& x : v) x = static_cast<T>(rng() % limit);
  return v;
}

#define EXPECT_RATIOS(got, want)             \
  do {                                       \
    EXPECT_EQ((got).gOverR, (want).gOverR);  \
    EXPECT_EQ((got).gOverB, (want).gOverB);  \
  } while (0)

// ---------------------------------------------------------------------------

TEST(WhiteBalanceRGB, WorkedPixel) {
  const std::vector<uint8_t> px = {10, 20, 40};
  Ratios got;
  WhiteBalanceRGB24(px.data(), 1, &got.gOverR, &got.gOverB);
  EXPECT_EQ(got.gOverR, 0.5);
  EXPECT_EQ(got.gOverB, 2.0);
}

TEST(WhiteBalanceRGB, EveryShapeMatchesReference) {
  for (int32_t n : {1, 2, 7, 1000, 70001}) {
    const auto i24 = RandomSamples<uint8_t>(size_t(n) * 3, 256, n);
    const auto i32 = RandomSamples<uint8_t>(size_t(n) * 4, 256, n + 1);
    const auto i48 = RandomSamples<uint16_t>(size_t(n) * 3, 4096, n + 2);
    const auto i64 = RandomSamples<uint16_t>(size_t(n) * 4, 65536, n + 3);
    Ratios a, b, c, d;
    WhiteBalanceRGB24(i24.data(), n, &a.gOverR, &a.gOverB);
    WhiteBalanceRGB32(i32.data(), n, &b.gOverR, &b.gOverB);
    WhiteBalanceRGB48(i48.data(), n, &c.gOverR, &c.gOverB);
    WhiteBalanceRGB64(i64.data(), n, &d.gOverR, &d.gOverB);
    SCOPED_TRACE(n);
    EXPECT_RATIOS(a, ReferenceRGB(i24, n, 3));
    EXPECT_RATIOS(b, ReferenceRGB(i32, n, 4));
    EXPECT_RATIOS(c, ReferenceRGB(i48, n, 3));
    EXPECT_RATIOS(d, ReferenceRGB(i64, n, 4));
  }
}

TEST(WhiteBalanceRGB, EmptyInputsMissingColoursAndFourthChannel) {
  const std::vector<uint8_t> px = {10, 20, 40, 7};
  const std::vector<uint16_t> px16 = {10, 20, 40, 7};
  for (int32_t n : {0, -3}) {
    Ratios a, b, c, d;
    WhiteBalanceRGB24(px.data(), n, &a.gOverR, &a.gOverB);
    WhiteBalanceRGB32(px.data(), n, &b.gOverR, &b.gOverB);
    WhiteBalanceRGB48(px16.data(), n, &c.gOverR, &c.gOverB);
    WhiteBalanceRGB64(px16.data(), n, &d.gOverR, &d.gOverB);
    for (const Ratios* r : {&a, &b, &c, &d}) {
      EXPECT_EQ(r->gOverR, -1.0);
      EXPECT_EQ(r->gOverB, -1.0);
    }
  }
  // No red: only gOverR stays -1.0. No green: ratios are 0.
  const std::vector<uint8_t> noRed = {5, 20, 0, 15, 10, 0};
  Ratios r;
  WhiteBalanceRGB24(noRed.data(), 2, &r.gOverR, &r.gOverB);
  EXPECT_EQ(r.gOverR, -1.0);
  EXPECT_EQ(r.gOverB, 1.5);
  const std::vector<uint8_t> noGreen = {5, 0, 9};
  WhiteBalanceRGB24(noGreen.data(), 1, &r.gOverR, &r.gOverB);
  EXPECT_EQ(r.gOverR, 0.0);
  EXPECT_EQ(r.gOverB, 0.0);

  // The fourth byte or word does not count.
  auto i32 = RandomSamples<uint8_t>(400, 256, 1);
  auto i64 = RandomSamples<uint16_t>(400, 4096, 2);
  for (size_t i = 3; i < 400; i += 4) i32[i] = 0, i64[i] = 0;
  Ratios b0, d0, b1, d1;
  WhiteBalanceRGB32(i32.data(), 100, &b0.gOverR, &b0.gOverB);
  WhiteBalanceRGB64(i64.data(), 100, &d0.gOverR, &d0.gOverB);
  for (size_t i = 3; i < 400; i += 4) i32[i] = 255, i64[i] = 65535;
  WhiteBalanceRGB32(i32.data(), 100, &b1.gOverR, &b1.gOverB);
  WhiteBalanceRGB64(i64.data(), 100, &d1.gOverR, &d1.gOverB);
  EXPECT_RATIOS(b0, b1);
  EXPECT_RATIOS(d0, d1);
}

// ---------------------------------------------------------------------------

TEST(WhiteBalanceBayer, WorkedCells) {
  const std::vector<uint8_t> f8 = {100, 50, 25, 101};
  const std::vector<uint16_t> f16 = {100, 50, 25, 101};
  Ratios gbrg, grbg, gbrg16;
  WhiteBalanceBayer8Bit_GBRG(f8.data(), 2, 2, &gbrg.gOverR, &gbrg.gOverB);
  WhiteBalanceBayer8Bit_GRBG(f8.data(), 2, 2, &grbg.gOverR, &grbg.gOverB);
  WhiteBalanceBayer16Bit_GBRG(f16.data(), 2, 2, &gbrg16.gOverR, &gbrg16.gOverB);
  EXPECT_EQ(gbrg.gOverR, 4.0);
  EXPECT_EQ(gbrg.gOverB, 2.0);
  EXPECT_EQ(grbg.gOverR, 2.0);
  EXPECT_EQ(grbg.gOverB, 4.0);
  EXPECT_RATIOS(gbrg16, gbrg);

  // Halving the green sum truncates: greens 1 and 2, red 1, blue 1.
  const std::vector<uint8_t> t = {1, 1, 1, 2};
  Ratios half;
  WhiteBalanceBayer8Bit_GBRG(t.data(), 2, 2, &half.gOverR, &half.gOverB);
  EXPECT_EQ(half.gOverR, 1.0);
  EXPECT_EQ(half.gOverB, 1.0);
}

TEST(WhiteBalanceBayer, SmallFramesAndMissingRed) {
  const std::vector<uint8_t> f8(64, 9);
  const std::vector<uint16_t> f16(64, 9);
  for (const BayerCase& c : kBayer)
    for (auto [w, h] : {std::pair{1, 8}, std::pair{8, 1}, std::pair{0, 0}, std::pair{-2, 4}}) {
      Ratios a, b;
      c.eight(f8.data(), w, h, &a.gOverR, &a.gOverB);
      c.sixteen(f16.data(), w, h, &b.gOverR, &b.gOverB);
      EXPECT_EQ(a.gOverR, -1.0);
      EXPECT_EQ(a.gOverB, -1.0);
      EXPECT_EQ(b.gOverR, -1.0);
      EXPECT_EQ(b.gOverB, -1.0);
    }
  // GBRG with every red site zero: gOverR stays -1.0, gOverB is measured.
  std::vector<uint16_t> f(8 * 6, 40);
  for (int y = 1; y < 6; y += 2)
    for (int x = 0; x < 8; x += 2) f[y * 8 + x] = 0;
  Ratios r;
  WhiteBalanceBayer16Bit_GBRG(f.data(), 8, 6, &r.gOverR, &r.gOverB);
  EXPECT_EQ(r.gOverR, -1.0);
  EXPECT_EQ(r.gOverB, 1.0);
}

TEST(WhiteBalanceBayer, EveryPhaseMatchesReference) {
  for (auto [w, h] : {std::pair{2, 2}, std::pair{5, 3}, std::pair{64, 48}, std::pair{131, 67},
                      std::pair{1920, 40}}) {
    const size_t n = size_t(w) * h;
    const auto f8 = RandomSamples<uint8_t>(n, 256, w);
    const auto f10 = RandomSamples<uint16_t>(n, 1024, h);
    const auto f12 = RandomSamples<uint16_t>(n, 4096, w + h);
    for (const BayerCase& c : kBayer) {
      SCOPED_TRACE(std::string(c.phase) + " " + std::to_string(w) + "x" + std::to_string(h));
      Ratios a, b, d;
      c.eight(f8.data(), w, h, &a.gOverR, &a.gOverB);
      c.sixteen(f10.data(), w, h, &b.gOverR, &b.gOverB);
      c.sixteen(f12.data(), w, h, &d.gOverR, &d.gOverB);
      EXPECT_RATIOS(a, ReferenceBayer(f8, w, h, c.phase));
      EXPECT_RATIOS(b, ReferenceBayer(f10, w, h, c.phase));
      EXPECT_RATIOS(d, ReferenceBayer(f12, w, h, c.phase));
    }
  }
  // The odd last row and column do not count: a huge value there changes
  // nothing.
  std::vector<uint16_t> f(5 * 3, 100);
  for (int x = 0; x < 5; ++x) f[10 + x] = 60000;
  for (int y = 0; y < 3; ++y) f[y * 5 + 4] = 60000;
  Ratios r;
  WhiteBalanceBayer16Bit_RGGB(f.data(), 5, 3, &r.gOverR, &r.gOverB);
  EXPECT_EQ(r.gOverR, 1.0);
  EXPECT_EQ(r.gOverB, 1.0);
}

// Frames whose 32-bit sums would wrap are measured exactly.
TEST(WhiteBalance, SumsBeyondThirtyTwoBits) {
  const int w = 2048, h = 1100;  // green sum 4095 x 1,126,400 > 2^32
  std::vector<uint16_t> f(size_t(w) * h, 4095);
  for (int y = 1; y < h; y += 2)
    for (int x = 0; x < w; x += 2) f[size_t(y) * w + x] = 2047;  // GBRG red sites
  Ratios r;
  WhiteBalanceBayer16Bit_GBRG(f.data(), w, h, &r.gOverR, &r.gOverB);
  EXPECT_EQ(r.gOverR, 4095.0 / 2047.0);
  EXPECT_EQ(r.gOverB, 1.0);
  EXPECT_RATIOS(r, ReferenceBayer(f, w, h, "GBRG"));

  const int32_t pixels = 1100000;  // 65535 x pixels > 2^32
  std::vector<uint16_t> img(size_t(pixels) * 3, 65535);
  Ratios q;
  WhiteBalanceRGB48(img.data(), pixels, &q.gOverR, &q.gOverB);
  EXPECT_EQ(q.gOverR, 1.0);
  EXPECT_EQ(q.gOverB, 1.0);
}

}  // namespace
