// Histogram builders against counts made here sample by sample.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "imaging/histogram.h"

namespace {

using Bins = std::vector<uint32_t>;
struct Rgb3 {
  Bins r, g, b;  // filled with garbage: builders must clear them
  explicit Rgb3(size_t n) : r(n, 0xDEADBEEF), g(n, 0xDEADBEEF), b(n, 0xDEADBEEF) {}
  bool operator==(const Rgb3&) const = default;
  uint64_t Sum(const Bins& x) const { return std::accumulate(x.begin(), x.end(), uint64_t{0}); }
};

template <class T>
std::vector<T> Random(size_t n, uint32_t limit, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<T> v(n);
  for (T& x : v) x = T(rng() % limit);
  return v;
}

// One Bayer builder: frame (as u16; 8-bit builders get a byte copy), width,
// height, arrays.
using BayerFn = std::function<void(const std::vector<uint16_t>&, int, int, Rgb3&)>;
template <class T>
BayerFn Wrap(void (*f)(const T*, int32_t, int32_t, uint32_t*, uint32_t*, uint32_t*)) {
  return [f](const std::vector<uint16_t>& s, int w, int h, Rgb3& o) {
    const std::vector<T> src(s.begin(), s.end());
    f(src.data(), w, h, o.r.data(), o.g.data(), o.b.data());
  };
}
struct BayerCase {
  const char* phase;  // the cell's letters, row by row
  BayerFn eight, ten, twelve;
};
const BayerCase kBayer[] = {
    // in the library's order
    {"GRBG", Wrap(HistogramBayer8Bit_GRBG), Wrap(HistogramBayer10Bit_GRBG),
     Wrap(HistogramBayer12Bit_GRBG)},
    {"GBRG", Wrap(HistogramBayer8Bit_GBRG), Wrap(HistogramBayer10Bit_GBRG),
     Wrap(HistogramBayer12Bit_GBRG)},
    {"RGGB", Wrap(HistogramBayer8Bit_RGGB), Wrap(HistogramBayer10Bit_RGGB),
     Wrap(HistogramBayer12Bit_RGGB)},
    {"BGGR", Wrap(HistogramBayer8Bit_BGGR), Wrap(HistogramBayer10Bit_BGGR),
     Wrap(HistogramBayer12Bit_BGGR)},
};

// Sample (x, y) has colour letter 2 * (y % 2) + x % 2; an odd last row or
// column is left out; values count by their low bits.
Rgb3 ReferenceBayer(const std::vector<uint16_t>& f, int w, int h, const char* phase, size_t bins) {
  Rgb3 out(bins);
  out.r.assign(bins, 0), out.g.assign(bins, 0), out.b.assign(bins, 0);
  for (int y = 0; y < h / 2 * 2; ++y)
    for (int x = 0; x < w / 2 * 2; ++x) {
      const char c = phase[2 * (y % 2) + x % 2];
      ++(c == 'R' ? out.r : c == 'G' ? out.g : out.b)[f[size_t(y) * w + x] % bins];
    }
  return out;
}

TEST(HistogramSingle, CountsClearsAndMasks) {
  const std::vector<uint8_t> s = {0, 255, 7, 7, 7, 128};
  Bins bins(256, 99), want(256, 0);
  Histogram8Bit(s.data(), 6, bins.data());
  want[0] = want[255] = want[128] = 1, want[7] = 3;
  EXPECT_EQ(bins, want);
  Histogram8Bit(s.data(), 3, bins.data());  // only this call's first 3 samples
  want[128] = 0, want[7] = 1;
  EXPECT_EQ(bins, want);
  for (int32_t n : {0, -5}) {
    Bins b8(256, 9), b10(1024, 9), b12(4096, 9);
    Histogram8Bit(s.data(), n, b8.data()), Histogram10Bit(nullptr, n, b10.data()),
        Histogram12Bit(nullptr, n, b12.data());
    EXPECT_TRUE(b8 == Bins(256, 0) && b10 == Bins(1024, 0) && b12 == Bins(4096, 0));
  }
  for (int32_t n : {1, 5, 1001, 65537}) {  // any depth, including values beyond it (low bits)
    const auto s8 = Random<uint8_t>(n, 256, n);
    const auto s16 = Random<uint16_t>(n, 65536, n + 1);
    Bins b8(256, 9), b10(1024, 9), b12(4096, 9), w8(256), w10(1024), w12(4096);
    Histogram8Bit(s8.data(), n, b8.data()), Histogram10Bit(s16.data(), n, b10.data()),
        Histogram12Bit(s16.data(), n, b12.data());
    for (int32_t i = 0; i < n; ++i) ++w8[s8[i]], ++w10[s16[i] & 1023], ++w12[s16[i] & 4095];
    EXPECT_TRUE(b8 == w8 && b10 == w10 && b12 == w12) << n;
  }
  const std::vector<uint16_t> flat(10007, 1000), wild = {1024 + 5, 0xFFFF, 4096 + 9};
  Bins b12(4096), b10(1024);
  Histogram12Bit(flat.data(), 10007, b12.data());
  EXPECT_EQ(b12[1000], 10007u);
  Histogram10Bit(wild.data(), 3, b10.data());
  EXPECT_TRUE(b10[5] == 1 && b10[1023] == 1 && b10[9] == 1);
}

TEST(HistogramBayer, WorkedFrames) {
  const std::vector<uint16_t> f = {10, 20, 30, 40, 50, 60, 70, 80};  // 4 x 2
  Rgb3 gbrg(256), grbg(256), want(256);
  kBayer[1].eight(f, 4, 2, gbrg);
  kBayer[0].eight(f, 4, 2, grbg);
  want.r.assign(256, 0), want.g.assign(256, 0), want.b.assign(256, 0);
  want.g[10] = want.g[30] = want.g[60] = want.g[80] = 1, want.b[20] = want.b[40] = 1,
  want.r[50] = want.r[70] = 1;
  EXPECT_EQ(gbrg, want);
  std::swap(want.r, want.b);  // GRBG swaps red and blue
  EXPECT_EQ(grbg, want);

  // 5 x 3: row 2 and column 4 (values 200 and up) are not counted.
  std::vector<uint16_t> odd(15);
  for (int i = 0; i < 15; ++i) odd[i] = (i >= 10 || i % 5 == 4) ? 200 + i : 1 + i;
  for (const BayerCase& c : kBayer) {
    Rgb3 got(256);
    c.eight(odd, 5, 3, got);
    EXPECT_EQ(got, ReferenceBayer(odd, 5, 3, c.phase, 256)) << c.phase;
    EXPECT_EQ(got.Sum(got.r) + got.Sum(got.g) + got.Sum(got.b), 8u);
  }
}

// Every phase and depth against the reference; green sums to W x H / 2, red
// and blue to W x H / 4; frames below one cell leave every array zero.
TEST(HistogramBayer, EveryPhaseAndDepth) {
  const std::pair<int, int> sizes[] = {{2, 2}, {7, 5}, {64, 30}, {129, 77}, {640, 480},
                                       {1, 8}, {8, 1}, {0, 8},   {-4, 8}};
  for (auto [w, h] : sizes) {
    const size_t n = size_t(std::max(w, 0)) * h;
    const auto f8 = Random<uint16_t>(n, 256, w + 1),
               f16 = Random<uint16_t>(n, 65536, h);  // both u16
    const uint64_t cells = uint64_t(std::max(w, 0) / 2) * (h / 2);
    for (const BayerCase& c : kBayer) {
      SCOPED_TRACE(testing::Message() << c.phase << " " << w << "x" << h);
      Rgb3 a(256), b(1024), d(4096);
      c.eight(f8, w, h, a), c.ten(f16, w, h, b), c.twelve(f16, w, h, d);
      EXPECT_EQ(a, ReferenceBayer(f8, w, h, c.phase, 256));
      EXPECT_EQ(b, ReferenceBayer(f16, w, h, c.phase, 1024));
      EXPECT_EQ(d, ReferenceBayer(f16, w, h, c.phase, 4096));
      for (const Rgb3* x : {&a, &b, &d})
        EXPECT_TRUE(x->Sum(x->g) == 2 * cells && x->Sum(x->r) == cells && x->Sum(x->b) == cells);
    }
  }
  const std::vector<uint16_t> flat(6000, 777);  // 100 x 60, one value
  for (const BayerCase& c : kBayer) {
    Rgb3 d(4096);
    c.twelve(flat, 100, 60, d);
    EXPECT_TRUE(d.g[777] == 3000 && d.r[777] == 1500 && d.b[777] == 1500);
  }
}

// RGB builders against the reference; the fourth byte or word is never read.
TEST(HistogramRGB, EveryShape) {
  struct Case {
    int stride, bits;
    std::function<void(const std::vector<uint16_t>&, int32_t, Rgb3&)> fn;
  };
  auto bytes = [](auto f) {
    return [f](const std::vector<uint16_t>& s, int32_t n, Rgb3& o) {
      const std::vector<uint8_t> src(s.begin(), s.end());
      f(src.data(), n, o.r.data(), o.g.data(), o.b.data());
    };
  };
  auto words = [](auto f) {
    return [f](const std::vector<uint16_t>& s, int32_t n, Rgb3& o) {
      f(s.data(), n, o.r.data(), o.g.data(), o.b.data());
    };
  };
  const Case cases[] = {{3, 8, bytes(HistogramRGB24)},        {4, 8, bytes(HistogramRGB32)},
                        {3, 10, words(HistogramRGB48_10Bit)}, {4, 10, words(HistogramRGB64_10Bit)},
                        {3, 12, words(HistogramRGB48_12Bit)}, {4, 12, words(HistogramRGB64_12Bit)}};
  for (const Case& c : cases)
    for (int32_t n : {-1, 0, 1, 2, 3, 1000, 4097}) {
      SCOPED_TRACE(testing::Message() << c.stride << " " << c.bits << " " << n);
      const size_t bins = size_t(1) << c.bits, len = size_t(std::max(n, 1)) * c.stride;
      auto img = Random<uint16_t>(len, c.bits == 8 ? 256 : 65536, n + c.stride);
      Rgb3 got(bins), want(bins), fourth(bins);
      want.r.assign(bins, 0), want.g.assign(bins, 0), want.b.assign(bins, 0);
      for (int32_t i = 0; i < n; ++i) {
        ++want.b[img[size_t(i) * c.stride] % bins];
        ++want.g[img[size_t(i) * c.stride + 1] % bins];
        ++want.r[img[size_t(i) * c.stride + 2] % bins];
      }
      c.fn(img, n, got);
      EXPECT_EQ(got, want);
      if (c.stride == 4) {
        for (size_t i = 3; i < len; i += 4) img[i] = c.bits == 8 ? 0xAB : 0xFFFF;
        c.fn(img, n, fourth);
        EXPECT_EQ(fourth, want);
      }
    }
  Rgb3 one(256);
  const std::vector<uint8_t> px = {10, 20, 30};
  HistogramRGB24(px.data(), 1, one.r.data(), one.g.data(), one.b.data());
  EXPECT_TRUE(one.b[10] == 1 && one.g[20] == 1 && one.r[30] == 1 && one.Sum(one.r) == 1);
}

}  // namespace
