// White-balance ratios against sums made here sample by sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/histogram.h"

namespace {

struct Ratios {
  double gOverR = 12345, gOverB = 12345;  // values the functions must overwrite
  bool operator==(const Ratios&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Ratios& r) {
  return o << r.gOverR << " " << r.gOverB;
}

Ratios FromSums(uint64_t green, uint64_t red, uint64_t blue) {
  return {red ? double(green) / double(red) : -1.0, blue ? double(green) / double(blue) : -1.0};
}

std::vector<uint16_t> Random(size_t n, uint32_t limit, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> v(n);
  for (auto& x : v) x = uint16_t(rng() % limit);
  return v;
}

// Bayer members on a u16 frame (the 8-bit members get a byte copy).
template <class T>
Ratios Balance(void (*f)(const T*, int32_t, int32_t, double*, double*),
               const std::vector<uint16_t>& s, int w, int h) {
  const std::vector<T> src(s.begin(), s.end());
  Ratios r;
  f(src.data(), w, h, &r.gOverR, &r.gOverB);
  return r;
}
struct BayerCase {
  const char* phase;
  void (*eight)(const uint8_t*, int32_t, int32_t, double*, double*);
  void (*sixteen)(const uint16_t*, int32_t, int32_t, double*, double*);
};
const BayerCase kBayer[] = {{"GRBG", WhiteBalanceBayer8Bit_GRBG, WhiteBalanceBayer16Bit_GRBG},
                            {"GBRG", WhiteBalanceBayer8Bit_GBRG, WhiteBalanceBayer16Bit_GBRG},
                            {"RGGB", WhiteBalanceBayer8Bit_RGGB, WhiteBalanceBayer16Bit_RGGB},
                            {"BGGR", WhiteBalanceBayer8Bit_BGGR, WhiteBalanceBayer16Bit_BGGR}};

Ratios ReferenceBayer(const std::vector<uint16_t>& f, int w, int h, const char* phase) {
  uint64_t sum[3] = {0, 0, 0};  // R, G, B
  for (int y = 0; y < h / 2 * 2; ++y)
    for (int x = 0; x < w / 2 * 2; ++x) {
      const char c = phase[2 * (y % 2) + x % 2];
      sum[c == 'R' ? 0 : c == 'G' ? 1 : 2] += f[size_t(y) * w + x];
    }
  return FromSums(sum[1] / 2, sum[0], sum[2]);
}

TEST(WhiteBalanceBayer, WorkedCellsAndEdges) {
  const std::vector<uint16_t> cell = {100, 50, 25, 101};
  EXPECT_EQ(Balance(WhiteBalanceBayer8Bit_GBRG, cell, 2, 2), (Ratios{4.0, 2.0}));
  EXPECT_EQ(Balance(WhiteBalanceBayer16Bit_GBRG, cell, 2, 2), (Ratios{4.0, 2.0}));
  EXPECT_EQ(Balance(WhiteBalanceBayer8Bit_GRBG, cell, 2, 2), (Ratios{2.0, 4.0}));
  EXPECT_EQ(Balance(WhiteBalanceBayer8Bit_GBRG, {1, 1, 1, 2}, 2, 2),
            (Ratios{1.0, 1.0}));        // (1 + 2) >> 1
  std::vector<uint16_t> noRed(48, 40);  // 8 x 6 GBRG, red sites 0
  for (int y = 1; y < 6; y += 2)
    for (int x = 0; x < 8; x += 2) noRed[y * 8 + x] = 0;
  EXPECT_EQ(Balance(WhiteBalanceBayer16Bit_GBRG, noRed, 8, 6), (Ratios{-1.0, 1.0}));
  std::vector<uint16_t> odd(15, 100);  // 5 x 3: row 2 and column 4 do not count
  for (int i = 0; i < 15; ++i)
    if (i >= 10 || i % 5 == 4) odd[i] = 60000;
  EXPECT_EQ(Balance(WhiteBalanceBayer16Bit_RGGB, odd, 5, 3), (Ratios{1.0, 1.0}));
  const std::vector<uint16_t> nine(64, 9);
  for (const BayerCase& c : kBayer)
    for (auto [w, h] : {std::pair{1, 8}, std::pair{8, 1}, std::pair{0, 0}, std::pair{-2, 4}}) {
      EXPECT_EQ(Balance(c.eight, nine, w, h), (Ratios{-1.0, -1.0}));
      EXPECT_EQ(Balance(c.sixteen, nine, w, h), (Ratios{-1.0, -1.0}));
    }
}

TEST(WhiteBalanceBayer, EveryPhaseMatchesReference) {
  const std::pair<int, int> sizes[] = {{2, 2}, {5, 3}, {64, 48}, {131, 67}, {1920, 40}};
  for (auto [w, h] : sizes) {
    const auto f8 = Random(size_t(w) * h, 256, w), f10 = Random(size_t(w) * h, 1024, h),
               f12 = Random(size_t(w) * h, 4096, w + h);
    for (const BayerCase& c : kBayer) {
      SCOPED_TRACE(testing::Message() << c.phase << " " << w << "x" << h);
      EXPECT_EQ(Balance(c.eight, f8, w, h), ReferenceBayer(f8, w, h, c.phase));
      EXPECT_EQ(Balance(c.sixteen, f10, w, h), ReferenceBayer(f10, w, h, c.phase));
      EXPECT_EQ(Balance(c.sixteen, f12, w, h), ReferenceBayer(f12, w, h, c.phase));
    }
  }
}

// RGB members: every shape against the reference, the worked pixel, empty
// inputs, a missing colour, and the fourth byte or word left unread.
TEST(WhiteBalanceRGB, EveryShape) {
  auto run = [](int stride, bool bytes, std::vector<uint16_t> img, int32_t n) {
    Ratios r;
    const std::vector<uint8_t> b(img.begin(), img.end());
    if (bytes)
      (stride == 3 ? WhiteBalanceRGB24 : WhiteBalanceRGB32)(b.data(), n, &r.gOverR, &r.gOverB);
    else
      (stride == 3 ? WhiteBalanceRGB48 : WhiteBalanceRGB64)(img.data(), n, &r.gOverR, &r.gOverB);
    return r;
  };
  EXPECT_EQ(run(3, true, {10, 20, 40}, 1), (Ratios{0.5, 2.0}));
  EXPECT_EQ(run(3, true, {5, 20, 0, 15, 10, 0}, 2), (Ratios{-1.0, 1.5}));
  EXPECT_EQ(run(3, true, {5, 0, 9}, 1), (Ratios{0.0, 0.0}));
  for (int stride : {3, 4})
    for (bool bytes : {true, false})
      for (int32_t n : {-3, 0, 1, 7, 1000, 70001}) {
        SCOPED_TRACE(testing::Message() << stride << bytes << " " << n);
        auto img = Random(size_t(std::max(n, 1)) * stride, bytes ? 256 : 65536, n + stride);
        uint64_t s[3] = {0, 0, 0};
        for (int32_t i = 0; i < n; ++i)
          for (int k = 0; k < 3; ++k) s[k] += img[size_t(i) * stride + k];
        const Ratios want = n > 0 ? FromSums(s[1], s[2], s[0]) : Ratios{-1.0, -1.0};
        EXPECT_EQ(run(stride, bytes, img, n), want);
        if (stride == 4) {
          for (size_t i = 3; i < img.size(); i += 4) img[i] = bytes ? 255 : 65535;
          EXPECT_EQ(run(stride, bytes, img, n), want);
        }
      }
}

// Frames whose 32-bit sums would wrap are measured exactly.
TEST(WhiteBalance, SumsBeyondThirtyTwoBits) {
  const int w = 2048, h = 1100;  // green sum 4095 x 1,126,400 > 2^32
  std::vector<uint16_t> f(size_t(w) * h, 4095);
  for (int y = 1; y < h; y += 2)
    for (int x = 0; x < w; x += 2) f[size_t(y) * w + x] = 2047;  // GBRG red sites
  EXPECT_EQ(Balance(WhiteBalanceBayer16Bit_GBRG, f, w, h), (Ratios{4095.0 / 2047.0, 1.0}));
  const std::vector<uint16_t> img(3300000, 65535);  // 1,100,000 pixels of 65535
  Ratios q;
  WhiteBalanceRGB48(img.data(), 1100000, &q.gOverR, &q.gOverB);
  EXPECT_EQ(q, (Ratios{1.0, 1.0}));
}

// Gains keep the luminance 0.3 R + 0.59 G + 0.11 B of a grey level; a ratio
// that is not positive leaves the gains as they were.
TEST(WhiteBalance, GainsKeepLuminanceAndRefuseRatiosWithoutSignal) {
  double gains[3];
  ASSERT_EQ(WhiteBalanceGains(1.2, 0.8, gains), 1);  // n = 1.038
  EXPECT_NEAR(gains[0], 1.156069, 1e-6);
  EXPECT_NEAR(gains[1], 0.963391, 1e-6);
  EXPECT_NEAR(gains[2], 0.770713, 1e-6);
  EXPECT_DOUBLE_EQ(0.3 * gains[0] + 0.59 * gains[1] + 0.11 * gains[2], 1.0);
  const double refused[][2] = {{0, 1}, {1, 0}, {-1, 1}, {1, -1}, {NAN, 1}, {1, NAN}};
  for (const auto& r : refused) {
    double untouched[3] = {7, 8, 9};
    EXPECT_EQ(WhiteBalanceGains(r[0], r[1], untouched), 0) << r[0] << " " << r[1];
    EXPECT_EQ(untouched[0] + untouched[1] + untouched[2], 24.0);
  }
}

}  // namespace
