// Test support for the interpolating demosaic families (bilinear, adaptive,
// Laplacian): a plain per-pixel formulation of their rules, with explicit
// bounds and zone tests and the filter colours read from the phase names,
// and helpers that run any of a family's sixteen members on a frame.
#ifndef IMAGING_TESTS_INTERP_REFERENCE_H
#define IMAGING_TESTS_INTERP_REFERENCE_H

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/debayer.h"
#include "imaging/src/debayer_interp_simd.h"

namespace interp_test {

enum Family { kBilinear, kAdaptive, kLaplacian };
enum { kR = 0, kG = 1, kB = 2 };

inline const char* const kPhases[4] = {"RGGB", "GRBG", "GBRG", "BGGR"};
inline const char* const kFormats[4] = {"8to24", "8to32", "16to48", "16to64"};
constexpr int kChannels[4] = {3, 4, 3, 4};

inline int ColourAt(int phase, int x, int y) {
  const char c = kPhases[phase][2 * (y % 2) + (x % 2)];
  return c == 'R' ? kR : c == 'G' ? kG : kB;
}

// A frame of samples (row-major) and its expected image as R, G, B values.
struct Frame {
  int w = 0, h = 0;
  std::vector<uint16_t> s;
  int64_t At(int x, int y) const { return s[static_cast<size_t>(y) * w + x]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
};
using Rgb = std::array<int64_t, 3>;
using Image = std::vector<Rgb>;

// Mean of those of the given positions that lie inside the frame: one is
// copied, two >> 1, three / 3, four >> 2.
inline int64_t MeanInside(const Frame& f, std::initializer_list<std::pair<int, int>> at) {
  int64_t sum = 0;
  int n = 0;
  for (auto [x, y] : at)
    if (f.Inside(x, y)) sum += f.At(x, y), ++n;
  return n == 1 ? sum : n == 2 ? sum >> 1 : n == 3 ? sum / 3 : sum >> 2;
}

// Pixel (x, y) by the bilinear rules (also the edge and ring rules of the
// other two families).
inline Rgb BilinearPixel(const Frame& f, int phase, int x, int y) {
  Rgb out{};
  const int site = ColourAt(phase, x, y);
  out[site] = f.At(x, y);
  if (site == kG) {
    const int rowColour = ColourAt(phase, x == 0 ? 1 : x - 1, y);
    out[rowColour] = MeanInside(f, {{x - 1, y}, {x + 1, y}});
    out[2 - rowColour] = MeanInside(f, {{x, y - 1}, {x, y + 1}});
  } else {
    out[kG] = MeanInside(f, {{x, y - 1}, {x - 1, y}, {x + 1, y}, {x, y + 1}});
    const bool interior = x >= 1 && y >= 1 && x <= f.w - 2 && y <= f.h - 2;
    out[2 - site] =
        interior ? (f.At(x - 1, y - 1) + f.At(x - 1, y + 1) + 2 * f.At(x + 1, y - 1)) >> 2
                 : MeanInside(f, {{x - 1, y - 1}, {x + 1, y - 1}, {x - 1, y + 1}, {x + 1, y + 1}});
  }
  return out;
}

inline bool InnerZone(const Frame& f, int x, int y) {
  return x >= 2 && y >= 2 && x <= f.w - 3 && y <= f.h - 3;
}

inline Rgb AdaptivePixel(const Frame& f, int phase, int x, int y) {
  Rgb out = BilinearPixel(f, phase, x, y);
  const int site = ColourAt(phase, x, y);
  if (site == kG || !InnerZone(f, x, y)) return out;
  const int64_t n = f.At(x, y - 1), s = f.At(x, y + 1), w = f.At(x - 1, y), e = f.At(x + 1, y);
  const int64_t u = std::llabs(f.At(x, y - 2) - f.At(x, y + 2));
  const int64_t v = std::llabs(f.At(x + 2, y) - f.At(x - 2, y));
  out[kG] = u == v ? (n + w + e + s) >> 2 : u < v ? (n + s) >> 1 : (w + e) >> 1;
  out[2 - site] =
      (f.At(x - 1, y - 1) + f.At(x + 1, y - 1) + f.At(x - 1, y + 1) + f.At(x + 1, y + 1)) >> 2;
  return out;
}

inline int64_t Limit(int64_t v, int64_t m) { return v < 0 ? 0 : v > m ? m : v; }

// The Laplacian family: the green plane first, then the other colours.
inline Image LaplacianImage(const Frame& f, int phase, int64_t m) {
  std::vector<int64_t> green(f.s.size());
  auto gAt = [&](int x, int y) { return green[static_cast<size_t>(y) * f.w + x]; };
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      int64_t g = BilinearPixel(f, phase, x, y)[kG];
      if (ColourAt(phase, x, y) != kG && InnerZone(f, x, y)) {
        const int64_t c = f.At(x, y), n = f.At(x, y - 1), s = f.At(x, y + 1);
        const int64_t w = f.At(x - 1, y), e = f.At(x + 1, y);
        const int64_t dh = 2 * c - f.At(x - 2, y) - f.At(x + 2, y);
        const int64_t dv = 2 * c - f.At(x, y - 2) - f.At(x, y + 2);
        const int64_t kh = std::llabs(w - e) + std::llabs(dh),
                      kv = std::llabs(n - s) + std::llabs(dv);
        g = kh == kv  ? ((w + e + n + s) >> 2) + (dh + dv) / 8
            : kh < kv ? ((w + e) >> 1) + dh / 4
                      : ((n + s) >> 1) + dv / 4;
        g = Limit(g, m);
      }
      green[static_cast<size_t>(y) * f.w + x] = g;
    }
  Image img(f.s.size());
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      Rgb out = BilinearPixel(f, phase, x, y);
      const int site = ColourAt(phase, x, y);
      out[kG] = gAt(x, y);
      if (InnerZone(f, x, y)) {
        if (site == kG) {
          const int64_t g2 = 2 * gAt(x, y);
          const int rowColour = ColourAt(phase, x - 1, y);
          out[rowColour] = Limit(
              ((f.At(x - 1, y) + f.At(x + 1, y)) >> 1) + (g2 - gAt(x - 1, y) - gAt(x + 1, y)) / 4,
              m);
          out[2 - rowColour] = Limit(
              ((f.At(x, y - 1) + f.At(x, y + 1)) >> 1) + (g2 - gAt(x, y - 1) - gAt(x, y + 1)) / 4,
              m);
        } else {
          const int64_t nw = f.At(x - 1, y - 1), ne = f.At(x + 1, y - 1);
          const int64_t sw = f.At(x - 1, y + 1), se = f.At(x + 1, y + 1);
          const int64_t d1 = 2 * gAt(x, y) - gAt(x - 1, y - 1) - gAt(x + 1, y + 1);
          const int64_t d2 = 2 * gAt(x, y) - gAt(x + 1, y - 1) - gAt(x - 1, y + 1);
          const int64_t k1 = std::llabs(nw - se) + std::llabs(d1),
                        k2 = std::llabs(ne - sw) + std::llabs(d2);
          const int64_t v = k1 == k2  ? (nw + ne + sw + se + d1 + d2) / 4
                            : k1 < k2 ? (nw + se + d1) / 2
                                      : (ne + sw + d2) / 2;
          out[2 - site] = Limit(v, m);
        }
      }
      img[static_cast<size_t>(y) * f.w + x] = out;
    }
  return img;
}

// The expected image of a family's member of the given phase; m is the
// largest output value of its format.
inline Image Expected(Family family, const Frame& f, int phase, int64_t m) {
  if (family == kLaplacian) return LaplacianImage(f, phase, m);
  Image img(f.s.size());
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x)
      img[static_cast<size_t>(y) * f.w + x] =
          family == kBilinear ? BilinearPixel(f, phase, x, y) : AdaptivePixel(f, phase, x, y);
  return img;
}

// ---- Running members -------------------------------------------------------

using Member8 = int32_t (*)(const uint8_t*, int32_t, int32_t, uint8_t*);
using Member16 = int32_t (*)(const uint16_t*, int32_t, int32_t, uint16_t*);

struct Members {
  Member8 m8[2][4];    // 8to24, 8to32 by phase
  Member16 m16[2][4];  // 16to48, 16to64 by phase
};

#define INTERP_TEST_PHASES(Family, fmt)                                \
  {                                                                    \
    Debayer##Family##_##fmt##_RGGB, Debayer##Family##_##fmt##_GRBG,    \
        Debayer##Family##_##fmt##_GBRG, Debayer##Family##_##fmt##_BGGR \
  }
#define INTERP_TEST_MEMBERS(Family)                                           \
  ::interp_test::Members {                                                    \
    {INTERP_TEST_PHASES(Family, 8to24), INTERP_TEST_PHASES(Family, 8to32)}, { \
      INTERP_TEST_PHASES(Family, 16to48), INTERP_TEST_PHASES(Family, 16to64)  \
    }                                                                         \
  }

constexpr uint16_t kCanary = 0xA5C3;
constexpr size_t kGuard = 64;  // canary elements after the image

// The result and the output elements of one call (canaries around it when
// refused or beyond the image).
struct Outcome {
  int32_t result = -1;
  std::vector<uint32_t> out;  // guard elements included
  bool guardIntact = true;
};

// Runs member (format, phase) on the frame's samples (each below 256 for the
// 8-bit formats); the destination holds max(w * h, 0) pixels plus a guard.
inline Outcome RunMember(const Members& m, int format, int phase,
                         const std::vector<uint16_t>& samples, int32_t w, int32_t h) {
  const size_t pixels = w > 0 && h > 0 ? static_cast<size_t>(w) * h : 0;
  const size_t n = pixels * kChannels[format] + kGuard;
  Outcome r;
  if (format < 2) {
    std::vector<uint8_t> src(samples.begin(), samples.end());
    std::vector<uint8_t> dst(n, static_cast<uint8_t>(kCanary));
    r.result = m.m8[format][phase](src.data(), w, h, dst.data());
    r.out.assign(dst.begin(), dst.end());
  } else {
    std::vector<uint16_t> dst(n, kCanary);
    r.result = m.m16[format - 2][phase](samples.data(), w, h, dst.data());
    r.out.assign(dst.begin(), dst.end());
  }
  const uint32_t canary = format < 2 ? (kCanary & 0xFF) : kCanary;
  for (size_t i = n - kGuard; i < n; ++i) r.guardIntact = r.guardIntact && r.out[i] == canary;
  return r;
}

// Expects every pixel of the run's image to equal the expected image (B, G, R
// order in memory, the fourth channel 0); reports the first difference.
inline void ExpectImage(const Outcome& r, int format, const Frame& f, const Image& want,
                        const std::string& what) {
  ASSERT_EQ(r.result, 1) << what;
  EXPECT_TRUE(r.guardIntact) << what << ": wrote past the image";
  const int ch = kChannels[format];
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const size_t i = (static_cast<size_t>(y) * f.w + x) * ch;
      const Rgb& e = want[static_cast<size_t>(y) * f.w + x];
      const bool same = r.out[i] == e[kB] && r.out[i + 1] == e[kG] && r.out[i + 2] == e[kR] &&
                        (ch == 3 || r.out[i + 3] == 0);
      if (!same) {
        ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is (" << r.out[i] << ", "
                      << r.out[i + 1] << ", " << r.out[i + 2]
                      << (ch == 4 ? ", " + std::to_string(r.out[i + 3]) : "")
                      << "), expected (B, G, R) = (" << e[kB] << ", " << e[kG] << ", " << e[kR]
                      << ")";
        return;
      }
    }
}

inline std::string Describe(const char* family, int format, int phase, int w, int h) {
  return std::string(family) + "_" + kFormats[format] + "_" + kPhases[phase] + " " +
         std::to_string(w) + "x" + std::to_string(h);
}

inline Frame RandomFrame(int w, int h, uint32_t maxValue, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<uint32_t> dist(0, maxValue);
  Frame f{w, h, std::vector<uint16_t>(static_cast<size_t>(w) * h)};
  for (auto& v : f.s) v = static_cast<uint16_t>(dist(rng));
  return f;
}

// Sizes that reach every code path: no inner zone, spans shorter than a
// block, whole blocks, and a partial last block for both sample widths.
inline const std::vector<std::pair<int, int>>& CheckedSizes() {
  static const std::vector<std::pair<int, int>> sizes = {
      {4, 4},  {4, 10}, {10, 4}, {6, 6},  {8, 12},  {18, 6}, {20, 6},
      {22, 8}, {34, 6}, {36, 6}, {38, 8}, {70, 10}, {98, 8}, {132, 6}};
  return sizes;
}

using imaging::cpu::Vectors;

// The inner loops this processor can run: the portable ones, and the AVX2
// and AVX-512 ones where it has them.
inline std::vector<Vectors> AvailableVectors() {
  std::vector<Vectors> all = {Vectors::kNone};
  if (imaging::cpu::SupportedVectors() >= Vectors::kAvx2) all.push_back(Vectors::kAvx2);
  if (imaging::cpu::SupportedVectors() >= Vectors::kAvx512) all.push_back(Vectors::kAvx512);
  return all;
}
inline const char* VectorsName(Vectors v) {
  return v == Vectors::kNone ? " portable" : v == Vectors::kAvx2 ? " avx2" : " avx512";
}

// Every member against the reference on random frames of every checked size,
// through every inner loop the processor can run. Samples span the format's
// whole range, and also just 0..3, where the gradient and variation
// comparisons tie often.
inline void CheckAgainstReference(Family family, const char* name, const Members& m) {
  for (Vectors vectors : AvailableVectors()) {
    imaging::cpu::LimitVectors(vectors);
    uint32_t seed = 1;
    for (auto [w, h] : CheckedSizes())
      for (int format = 0; format < 4; ++format)
        for (int phase = 0; phase < 4; ++phase) {
          const int64_t top = format < 2 ? 255 : 65535;
          for (uint32_t range : {static_cast<uint32_t>(top), 3u}) {
            const Frame f = RandomFrame(w, h, range, seed++);
            const std::string what = Describe(name, format, phase, w, h) + VectorsName(vectors) +
                                     " samples 0.." + std::to_string(range);
            ExpectImage(RunMember(m, format, phase, f.s, w, h), format, f,
                        Expected(family, f, phase, top), what);
          }
        }
  }
  imaging::cpu::LimitVectors(Vectors::kAvx512);
}

// Refused sizes return 0 and leave the whole destination as it was.
inline void CheckRefusals(const Members& m, std::initializer_list<std::pair<int, int>> sizes) {
  for (auto [w, h] : sizes)
    for (int format = 0; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase) {
        const size_t n = w > 0 && h > 0 ? static_cast<size_t>(w) * h : 0;
        const Outcome r = RunMember(m, format, phase, std::vector<uint16_t>(n, 7), w, h);
        EXPECT_EQ(r.result, 0) << Describe("", format, phase, w, h);
        const uint32_t canary = format < 2 ? (kCanary & 0xFF) : kCanary;
        bool untouched = true;
        for (uint32_t v : r.out) untouched = untouched && v == canary;
        EXPECT_TRUE(untouched) << Describe("", format, phase, w, h);
      }
}

// A frame of one value gives that value in every colour channel of every
// pixel, in every member.
inline void CheckConstantFrames(const Members& m) {
  for (int format = 0; format < 4; ++format)
    for (int phase = 0; phase < 4; ++phase)
      for (uint16_t v : {0, 1, 77, 255, 4095, 65535}) {
        if (format < 2 && v > 255) continue;
        const Frame f{40, 8, std::vector<uint16_t>(320, v)};
        ExpectImage(RunMember(m, format, phase, f.s, f.w, f.h), format, f, Image(320, Rgb{v, v, v}),
                    Describe("", format, phase, f.w, f.h) + " value " + std::to_string(v));
      }
}

// 16-bit frames of 0 and 65535 in several patterns: the 16-bit members match
// the reference (no overflow anywhere) and write 0 in the fourth channel.
inline void CheckSixteenBitExtremes(Family family, const Members& m) {
  const int w = 40, h = 10;
  for (int pattern = 0; pattern < 4; ++pattern) {
    Frame f{w, h, std::vector<uint16_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool on = pattern == 0   ? true
                        : pattern == 1 ? (x + y) % 2 == 0
                        : pattern == 2 ? x % 2 == 0
                                       : (x / 2 + y) % 2 == 0;
        f.s[static_cast<size_t>(y) * w + x] = on ? 65535 : 0;
      }
    for (int format = 2; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase)
        ExpectImage(RunMember(m, format, phase, f.s, w, h), format, f,
                    Expected(family, f, phase, 65535),
                    Describe("", format, phase, w, h) + " pattern " + std::to_string(pattern));
  }
}

// Frames 4 pixels wide or high have no inner zone: every member gives the
// bilinear member's image, byte for byte.
inline void CheckNoInnerZoneEqualsBilinear(const Members& m, const char* name) {
  const Members bilinear = INTERP_TEST_MEMBERS(Bilinear);
  uint32_t seed = 9;
  for (auto [w, h] : {std::pair{4, 4}, {4, 12}, {12, 4}, {4, 40}, {40, 4}})
    for (int format = 0; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase) {
        const Frame f = RandomFrame(w, h, format < 2 ? 255 : 65535, seed++);
        const Outcome r = RunMember(m, format, phase, f.s, w, h);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.out, RunMember(bilinear, format, phase, f.s, w, h).out)
            << Describe(name, format, phase, w, h);
      }
}

// Output channel c (0 = B, 1 = G, 2 = R) of pixel (x, y) of a run.
inline uint32_t Channel(const Outcome& r, int format, int w, int x, int y, int c) {
  return r.out[(static_cast<size_t>(y) * w + x) * kChannels[format] + c];
}

// One R or B site of a 40 x 8 random frame and a member's image of it.
struct Site {
  Frame f;
  int format, phase, x, y, colour;
  Outcome out;
  std::string what;
  uint32_t Out(int c) const { return Channel(out, format, f.w, x, y, c); }
};

// Runs every member of m on random frames changed by `edit` around each of a few
// R or B sites (in the first, a middle and the last, partial block of the
// inner zone, or in the ring) and hands each site to `check`.
inline void ForSites(const Members& m, const char* name, bool ring,
                     const std::function<void(Frame&, int, int)>& edit,
                     const std::function<void(const Site&)>& check) {
  const std::vector<std::pair<int, int>> inner = {{2, 2},  {3, 2},  {2, 3},  {3, 3},
                                                  {20, 4}, {21, 4}, {36, 5}, {37, 5}};
  const std::vector<std::pair<int, int>> ringSites = {{1, 2},  {1, 3},  {2, 1},  {3, 1},
                                                      {38, 4}, {38, 5}, {20, 6}, {21, 6}};
  for (int format = 0; format < 4; ++format)
    for (int phase = 0; phase < 4; ++phase)
      for (auto [x, y] : ring ? ringSites : inner) {
        if (ColourAt(phase, x, y) == kG) continue;
        Site s{RandomFrame(40, 8, 150, 11u + x + 64u * y + 4096u * phase),
               format,
               phase,
               x,
               y,
               ColourAt(phase, x, y),
               {},
               Describe(name, format, phase, 40, 8) + " at (" + std::to_string(x) + ", " +
                   std::to_string(y) + ")"};
        edit(s.f, x, y);
        s.out = RunMember(m, format, phase, s.f.s, s.f.w, s.f.h);
        check(s);
      }
}

inline void SetCross(Frame& f, int x, int y, uint16_t n, uint16_t s, uint16_t w, uint16_t e,
                     int distance) {
  f.s[(y - distance) * f.w + x] = n, f.s[(y + distance) * f.w + x] = s;
  f.s[y * f.w + x - distance] = w, f.s[y * f.w + x + distance] = e;
}

// Raising one diagonal neighbour by 4 changes the diagonal colour by `change`
// and nothing else of the pixel.
inline void CheckDiagonalWeight(const Members& m, const char* name, bool ring, int dx, int dy,
                                uint32_t change) {
  ForSites(
      m, name, ring, [](Frame&, int, int) {},
      [&](const Site& s) {
        Frame raised = s.f;
        raised.s[(s.y + dy) * s.f.w + s.x + dx] += 4;
        Site after = s;
        after.out = RunMember(m, s.format, s.phase, raised.s, s.f.w, s.f.h);
        const int diagChannel = s.colour == kR ? 0 : 2;
        for (int c = 0; c < 3; ++c)
          EXPECT_EQ(after.Out(c), s.Out(c) + (c == diagChannel ? change : 0))
              << s.what << " channel " << c;
      });
}

}  // namespace interp_test

#endif
