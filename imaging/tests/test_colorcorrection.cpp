// Colour-correction object: results against a per-pixel evaluation of the
// correction rules written here, the block layout, and the colour cube across
// settings changes and the wrap of its 8-bit stamp.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "imaging/colorcorrection.h"
#include "imaging/src/colorcorrection_workers.h"
#include "imaging/src/cpu_features.h"

#if defined(__SANITIZE_ADDRESS__)
#define CC_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CC_SANITIZED 1
#endif
#endif

namespace {

constexpr size_t kCubeBytes = size_t{4} << 24;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Settings {
  double gainR = 1, offsetR = 0, gainG = 1, offsetG = 0, gainB = 1, offsetB = 0;
  double hueShift = 0, saturationGain = 1, lightnessGain = 1, lightnessOffset = 0;
  int32_t mode = 0;
  std::array<double, 12> matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

uint8_t RefByte(double v) { return v > 255 ? 255 : v < 0 ? 0 : uint8_t(std::nearbyint(v)); }
double Clamp01(double v) { return v > 1 ? 1 : (v < 0 ? 0 : v); }

// Whole turns one at a time for ordinary hues; the exact remainder beyond.
double RefWrap(double h) {
  if (std::fabs(h) < 1e7) {
    while (h < 0) h += 360;
    while (h > 360) h -= 360;
    return h;
  }
  const double m = std::fmod(h, 360.0);
  return m < 0 ? m + 360 : (m == 0 && h > 0 ? 360 : m);
}

// The corrected B, G, R of the input colour R, G, B, from the rules.
std::array<uint8_t, 3> Reference(const Settings& s, int R, int G, int B) {
  if (s.mode != 0) {
    const auto& m = s.matrix;
    double v[3];
    for (int col = 0; col < 3; ++col)
      v[col] = m[col] * R + m[3 + col] * G + m[6 + col] * B + m[9 + col];
    return {RefByte(v[2]), RefByte(v[1]), RefByte(v[0])};
  }
  const double r = Clamp01((R * s.gainR + s.offsetR) / 255),
               g = Clamp01((G * s.gainG + s.offsetG) / 255),
               b = Clamp01((B * s.gainB + s.offsetB) / 255);
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
  double L = (mx + mn) * 0.5, S = 0, H = 0;
  if (L > 0 && L < 1) S = L < 0.5 ? d / (2 * L) : d / (2 - 2 * L);
  if (d != 0)
    H = r == mx ? 60 * ((g - b) / d) : g == mx ? 60 * ((b - r) / d + 2) : 60 * ((r - g) / d + 4);
  H = RefWrap(H + s.hueShift);
  S = Clamp01(S * s.saturationGain);
  L = Clamp01(L * s.lightnessGain + s.lightnessOffset);
  double f[3];
  if (H < 120)
    f[0] = (120 - H) / 60, f[1] = H / 60, f[2] = 0;
  else if (H < 240)
    f[0] = 0, f[1] = (240 - H) / 60, f[2] = (H - 120) / 60;
  else
    f[0] = (H - 240) / 60, f[1] = 0, f[2] = (360 - H) / 60;
  uint8_t out[3];
  for (int k = 0; k < 3; ++k) {
    double x = std::min(f[k], 1.0) * 2 * S + (1 - S);
    x = L < 0.5 ? x * L : x * (1 - L) - 1 + 2 * L;
    out[k] = RefByte(x * 255);
  }
  return {out[2], out[1], out[0]};
}

using Image = std::vector<uint8_t>;  // RGB24: B, G, R per pixel

// Primaries, greys, edges of the cube and random colours (some repeated).
Image Sample(size_t randomCount, unsigned seed = 7) {
  Image img;
  for (int v = 0; v < 256; ++v)
    for (int c : {v * 0x010101, v, v << 8, v << 16, 0xFF | v << 8, v | 0xFF00 | (255 - v) << 16})
      img.insert(img.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
  std::mt19937 rng(seed);
  for (size_t i = 0; i < randomCount; ++i) {
    const uint32_t x = rng();
    img.insert(img.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16)});
  }
  return img;
}

Image Corrected(ColorCorrection* cc, Image img) {
  EXPECT_EQ(ApplyColorCorrection(cc, img.data(), int32_t(img.size() / 3), 1), 1);
  return img;
}

// Corrects `in` and checks every pixel against the reference for `s`.
void ExpectCorrected(ColorCorrection* cc, const Settings& s, const Image& in) {
  const Image out = Corrected(cc, in);
  for (size_t i = 0; i < in.size(); i += 3) {
    const auto want = Reference(s, in[i + 2], in[i + 1], in[i]);
    ASSERT_TRUE(out[i] == want[0] && out[i + 1] == want[1] && out[i + 2] == want[2])
        << "B,G,R " << +in[i] << "," << +in[i + 1] << "," << +in[i + 2] << " gave " << +out[i]
        << "," << +out[i + 1] << "," << +out[i + 2] << " want " << +want[0] << "," << +want[1]
        << "," << +want[2];
  }
}

void SetParams(ColorCorrection* cc, const Settings& s) {
  SetColorCorrectionParams(cc, s.gainR, s.offsetR, s.gainG, s.offsetG, s.gainB, s.offsetB,
                           s.hueShift, s.saturationGain, s.lightnessGain, s.lightnessOffset);
}

void SetAll(ColorCorrection* cc, const Settings& s) {
  SetParams(cc, s);
  SetColorCorrectionMatrix(cc, s.matrix.data());
  SetColorCorrectionMode(cc, s.mode);
}

struct Handle {
  ColorCorrection* cc = CreateColorCorrection();
  ~Handle() { FreeColorCorrection(cc); }
};

// The block by its layout: the cube, then Mode, Matrix, the ten doubles, Stamp.
// The cube holds bricks of 4 x 4 x 4 colours: the high six bits of B, R, G
// number the brick, their low two bits the entry in it.
uint8_t* Block(ColorCorrection* cc) { return reinterpret_cast<uint8_t*>(cc); }
uint8_t* EntryOf(ColorCorrection* cc, int R, int G, int B) {
  const int brick = (B >> 2) << 12 | (R >> 2) << 6 | G >> 2;
  return Block(cc) + 4 * (brick << 6 | (B & 3) << 4 | (R & 3) << 2 | (G & 3));
}
double Field(ColorCorrection* cc, size_t offset) {
  double v;
  std::memcpy(&v, Block(cc) + kCubeBytes + offset, sizeof v);
  return v;
}
uint8_t Stamp(ColorCorrection* cc) { return Block(cc)[kCubeBytes + 184]; }

Settings Warm() {
  Settings s;
  s.gainR = 1.1, s.offsetR = -3, s.gainG = 0.95, s.offsetG = 2.5, s.gainB = 1.3;
  s.hueShift = 25, s.saturationGain = 1.4, s.lightnessGain = 0.9, s.lightnessOffset = 0.03;
  return s;
}

TEST(ColorCorrectionObject, LayoutSettersGettersAndNullHandle) {
  Handle h;
  int32_t mode = -1;
  std::memcpy(&mode, Block(h.cc) + kCubeBytes, 4);
  EXPECT_EQ(mode, 0);
  for (int k = 0; k < 22; ++k)  // identity Matrix, then offsets 0 and gains 1
    EXPECT_EQ(Field(h.cc, 8 + 8 * k), k < 12 ? (k % 4 == 0 ? 1.0 : 0.0) : (k % 2 ? 1.0 : 0.0)) << k;
  EXPECT_EQ(Stamp(h.cc), 0);
  std::mt19937 rng(3);
  for (int i = 0; i < 100000; ++i) {  // identity entries, stamp 0
    const uint32_t x = rng() & 0xFFFFFF;
    const uint8_t* e = EntryOf(h.cc, x & 255, (x >> 8) & 255, x >> 16);
    ASSERT_TRUE(e[0] == x >> 16 && e[1] == ((x >> 8) & 255) && e[2] == (x & 255) && e[3] == 0);
  }

  // Setters take gain before offset and LightnessGain before LightnessOffset;
  // the block stores offsets first; getters answer in the setters' order.
  double v[12];
  EXPECT_EQ(SetColorCorrectionGains(h.cc, 1.5, -2, 2.5, -3, 3.5, -4), 1);
  const double stored[6] = {-2, 1.5, -3, 2.5, -4, 3.5}, given[6] = {1.5, -2, 2.5, -3, 3.5, -4};
  EXPECT_EQ(GetColorCorrectionGains(h.cc, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
  for (int k = 0; k < 6; ++k)
    EXPECT_TRUE(Field(h.cc, 104 + 8 * k) == stored[k] && v[k] == given[k]) << k;
  EXPECT_EQ(SetColorCorrectionHSL(h.cc, 30, 0.5, 0.75, 0.125), 1);
  EXPECT_EQ(GetColorCorrectionHSL(h.cc, &v[0], &v[1], &v[2], &v[3]), 1);
  EXPECT_TRUE(v[0] == 30 && v[1] == 0.5 && v[2] == 0.75 && v[3] == 0.125);
  EXPECT_TRUE(Field(h.cc, 152) == 30 && Field(h.cc, 160) == 0.5 && Field(h.cc, 168) == 0.125 &&
              Field(h.cc, 176) == 0.75);
  EXPECT_EQ(SetColorCorrectionParams(h.cc, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 1);
  GetColorCorrectionGains(h.cc, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
  GetColorCorrectionHSL(h.cc, &v[6], &v[7], &v[8], &v[9]);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(v[k], k + 1);
  double m[12];
  for (int k = 0; k < 12; ++k) m[k] = 0.5 * k - 1;
  EXPECT_EQ(SetColorCorrectionMatrix(h.cc, m), 1);
  EXPECT_EQ(GetColorCorrectionMatrix(h.cc, v), 1);
  EXPECT_EQ(std::memcmp(v, m, sizeof m), 0);
  EXPECT_EQ(SetColorCorrectionMode(h.cc, 1), 0);  // 0 also with a valid handle
  EXPECT_EQ(Stamp(h.cc), 5);

  // A null handle: every operation does nothing and returns 0.
  uint8_t px[4] = {1, 2, 3, 4};
  EXPECT_EQ(FreeColorCorrection(nullptr) + SetColorCorrectionGains(nullptr, 1, 0, 1, 0, 1, 0) +
                GetColorCorrectionGains(nullptr, v, v, v, v, v, v) +
                SetColorCorrectionHSL(nullptr, 0, 1, 1, 0) +
                GetColorCorrectionHSL(nullptr, v, v, v, v) +
                SetColorCorrectionParams(nullptr, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0) +
                SetColorCorrectionMatrix(nullptr, m) + GetColorCorrectionMatrix(nullptr, v) +
                SetColorCorrectionMode(nullptr, 1) + ApplyColorCorrection(nullptr, px, 1, 1) +
                ApplyColorCorrectionRGB32(nullptr, px, 1, 1),
            0);
  EXPECT_TRUE(px[0] == 1 && px[3] == 4);
}

TEST(ColorCorrectionObject, StampSkipsTheStaleMarkWhenItWraps) {
  Handle h;
  double m[12];
  GetColorCorrectionMatrix(h.cc, m);
  for (int call = 1; call <= 600; ++call) {
    if (call % 2)
      SetColorCorrectionMatrix(h.cc, m);
    else
      SetColorCorrectionMode(h.cc, 0);
    ASSERT_EQ(Stamp(h.cc), (call - 1) % 255 + 1) << call;
  }
}

TEST(ColorCorrectionApply, FreshObjectServesCreationEntriesWithoutComputing) {
  Handle h;
  const Image img = Sample(50000);
  const std::vector<uint8_t> cube(Block(h.cc), Block(h.cc) + kCubeBytes);
  EXPECT_EQ(Corrected(h.cc, img), img);
  EXPECT_EQ(std::memcmp(cube.data(), Block(h.cc), kCubeBytes), 0) << "cube written";
  uint8_t* e = EntryOf(h.cc, 10, 20, 30);  // altered by hand: read, not computed
  e[0] = 1, e[1] = 2, e[2] = 3;
  EXPECT_EQ(Corrected(h.cc, {30, 20, 10, 30, 20, 10}), (Image{1, 2, 3, 1, 2, 3}));
}

// Default settings keep every colour, in both modes, after any setter; all
// 16,777,216 colours once (every 7th blue level under the sanitizers).
TEST(ColorCorrectionApply, DefaultSettingsKeepEveryColour) {
  Handle h;
  const Image sample = Sample(100000);
  const double identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  SetColorCorrectionGains(h.cc, 1, 0, 1, 0, 1, 0);
  EXPECT_EQ(Corrected(h.cc, sample), sample);
  SetColorCorrectionHSL(h.cc, 0, 1, 1, 0);
  EXPECT_EQ(Corrected(h.cc, sample), sample);
  SetColorCorrectionMatrix(h.cc, identity);
  EXPECT_EQ(Corrected(h.cc, sample), sample);
#ifdef CC_SANITIZED
  const int blueStep = 7;
#else
  const int blueStep = 1;
#endif
  Image all;
  for (int b = 0; b < 256; b += blueStep)
    for (int rg = 0; rg < 65536; ++rg)
      all.insert(all.end(), {uint8_t(b), uint8_t(rg), uint8_t(rg >> 8)});
  for (int mode : {0, 1}) {
    SetColorCorrectionMode(h.cc, mode);
    EXPECT_TRUE(Corrected(h.cc, all) == all) << "mode " << mode;
  }
}

TEST(ColorCorrectionApply, WorkedExamples) {
  Handle h;
  Settings s;
  s.hueShift = 120;  // pure red becomes pure green
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {0, 0, 255}), (Image{0, 255, 0}));
  const Image sample = Sample(20000);
  s.hueShift = 360;  // the same as 0
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, sample), sample);
  s.hueShift = 77;  // greys have no hue
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {0, 0, 0, 90, 90, 90, 255, 255, 255}),
            (Image{0, 0, 0, 90, 90, 90, 255, 255, 255}));
  s.lightnessGain =
      0.5;  // a grey's lightness times LightnessGain plus LightnessOffset, limited to 1
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {100, 100, 100}), (Image{50, 50, 50}));
  s.lightnessGain = 1, s.lightnessOffset = 0.5;
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {200, 200, 200}), (Image{255, 255, 255}));

  s = Settings{};
  s.saturationGain = 0;  // every colour a grey
  SetAll(h.cc, s);
  const Image grey = Corrected(h.cc, sample);
  for (size_t i = 0; i < grey.size(); i += 3)
    ASSERT_TRUE(grey[i] == grey[i + 1] && grey[i] == grey[i + 2]);
  ExpectCorrected(h.cc, s, sample);
  s = Settings{};
  s.gainR = 2;  // R of 128 or more reaches full scale
  SetAll(h.cc, s);
  const Image red = Corrected(h.cc, sample);
  for (size_t i = 0; i < red.size(); i += 3) ASSERT_TRUE(sample[i + 2] < 128 || red[i + 2] == 255);
  ExpectCorrected(h.cc, s, sample);

  // Matrix: identity keeps colours; results are limited to 0..255 and
  // rounded half to even; the constant row is in 8-bit units.
  s = Settings{};
  s.mode = 1;
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, sample), sample);
  s.matrix = {2, 0, 0, 0, -1, 0, 0, 0, 1, 0, 300, 10};
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {40, 50, 200}), (Image{50, 250, 255}));
  s.matrix = {-1, 0, 0, 0, 0, 0, 0, 0, 0, 127.5, 128.5, 1.5};
  SetAll(h.cc, s);
  EXPECT_EQ(Corrected(h.cc, {0, 0, 100, 9, 9, 0}), (Image{2, 128, 28, 2, 128, 128}));
  s.matrix = {0.8, 0.1, 0.05, 0.15, 0.85, 0.1, 0.05, 0.05, 0.9, -4.5, 3.25, 0.5};
  SetAll(h.cc, s);
  ExpectCorrected(h.cc, s, sample);
}

TEST(ColorCorrectionApply, SizesRGB32RepeatedFramesAndSecondPass) {
  Handle h;
  const Settings s = Warm();
  SetAll(h.cc, s);
  Image px = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Image before = px;
  for (auto [w, ht] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-1, 4}, std::pair{4, -2}}) {
    EXPECT_EQ(ApplyColorCorrection(h.cc, px.data(), w, ht) +
                  ApplyColorCorrectionRGB32(h.cc, px.data(), w, ht),
              2);
    EXPECT_EQ(px, before);
  }
  EXPECT_EQ(ApplyColorCorrection(h.cc, px.data(), -2, -2), 1);  // a positive product
  EXPECT_EQ(px, Corrected(h.cc, before));

  // RGB32: the same colours, the fourth byte untouched.
  const Image sample = Sample(4964);  // 6500 pixels: 130 rows of 50
  Image img32;
  for (size_t i = 0; i < sample.size(); i += 3)
    img32.insert(img32.end(), {sample[i], sample[i + 1], sample[i + 2], uint8_t(i)});
  EXPECT_EQ(ApplyColorCorrectionRGB32(h.cc, img32.data(), 50, 130), 1);
  const Image img24 = Corrected(h.cc, sample);
  for (size_t i = 0; i < 6500; ++i)
    ASSERT_TRUE(std::memcmp(&img32[4 * i], &img24[3 * i], 3) == 0 &&
                img32[4 * i + 3] == uint8_t(3 * i))
        << i;

  // A frame whose colours repeat: computed and read entries agree; correcting
  // an already corrected frame corrects it again.
  Image twice = sample;
  twice.insert(twice.end(), sample.begin(), sample.end());
  const Image first = Corrected(h.cc, twice);
  EXPECT_EQ(Corrected(h.cc, twice), first);
  ExpectCorrected(h.cc, s, twice);
  ExpectCorrected(h.cc, s, first);
}

TEST(ColorCorrectionApply, VariousSettingsMatchReference) {
  Handle h;
  const Image sample = Sample(30000);
  Settings s = Warm();
  for (double hue : {25.0, -180.0, -59.9, 0.1, 119.99, 180.0, 240.0, 359.9, 720.5, -725.25}) {
    s.hueShift = hue;
    SetAll(h.cc, s);
    ExpectCorrected(h.cc, s, sample);
  }
  s = Settings{};
  s.gainG = 0.5, s.offsetB = 40, s.offsetR = -60, s.saturationGain = 3, s.lightnessGain = 1.2;
  s.lightnessOffset = -0.1, s.hueShift = -45;
  SetAll(h.cc, s);
  ExpectCorrected(h.cc, s, sample);
}

// One setter call of a kind and with values chosen by `call`; `s` follows.
void Change(ColorCorrection* cc, Settings& s, int call) {
  switch (call % 5) {
    case 0:
      s.gainR = 0.8 + 0.003 * (call % 97), s.offsetR = call % 11 - 5, s.offsetG = 0.5 * (call % 5);
      s.gainB = 1.2 - 0.002 * (call % 53);
      SetColorCorrectionGains(cc, s.gainR, s.offsetR, s.gainG, s.offsetG, s.gainB, s.offsetB);
      break;
    case 1:
      s.hueShift = std::fmod(call * 37.5, 360.0) - 180, s.saturationGain = 0.5 + 0.01 * (call % 90);
      SetColorCorrectionHSL(cc, s.hueShift, s.saturationGain, s.lightnessGain, s.lightnessOffset);
      break;
    case 2:
      for (int k = 0; k < 12; ++k)
        s.matrix[k] = (k % 4 == 0 ? 0.9 : 0.05) + 0.001 * ((call + k) % 13);
      SetColorCorrectionMatrix(cc, s.matrix.data());
      break;
    case 3:
      s.mode = (call / 5) % 2;
      SetColorCorrectionMode(cc, s.mode * (1 + call % 3));
      break;
    default:  // the values already held
      SetParams(cc, s);
  }
}

// Entries computed k setter calls earlier, and the creation-time entries,
// are never served as current, around every multiple of the stamp's range.
TEST(ColorCorrectionCache, EarlierEntriesAreNeverServed) {
  const Image sample = Sample(300, 11);
  for (bool computedFirst : {true, false})
    for (int k : {1, 2, 254, 255, 256, 257, 509, 510, 511, 512, 513, 765, 766}) {
      SCOPED_TRACE(testing::Message()
                   << k << (computedFirst ? " calls after computing" : " calls from creation"));
      Handle h;
      Settings s;
      if (computedFirst) {
        s.hueShift = 150, s.saturationGain = 0.3;
        SetParams(h.cc, s);
        ExpectCorrected(h.cc, s, sample);
      }
      for (int call = 0; call < k - 1; ++call) Change(h.cc, s, call);
      Settings last = Warm();  // the k-th call; mode and matrix as they are
      last.mode = s.mode, last.matrix = s.matrix;
      SetParams(h.cc, last);
      ExpectCorrected(h.cc, last, sample);
    }
}

// A long run of changes with partial frames between them, so that entries of
// every age and both modes meet the checks.
TEST(ColorCorrectionCache, LongRunMatchesFreshEvaluation) {
  Handle h;
  const Image pool = Sample(1024, 13);
  const size_t colours = pool.size() / 3;
  Settings s;
  for (int call = 0; call < 800; ++call) {
    Change(h.cc, s, call);
    Image slice;
    for (size_t i = 0; i < 96; ++i) {
      const size_t c = (size_t(call) * 389 + i * 5) % colours;
      slice.insert(slice.end(), pool.begin() + 3 * c, pool.begin() + 3 * c + 3);
    }
    SCOPED_TRACE(call);
    ExpectCorrected(h.cc, s, slice);
  }
}

// Every inner loop this processor runs, alone and split between worker
// threads, on frames large enough to be split: a few hundred colours spread
// over the frame (so that parts in different threads meet the same stale
// colour), a pixel count that is not a whole number of vector steps, RGB24
// and RGB32, cold and warm, across setter calls of every kind and the wrap.
TEST(ColorCorrectionVariants, EveryLoopAloneAndInThreadsMatchesTheRules) {
  constexpr int32_t kWidth = 601, kHeight = 229;  // 137,629 pixels
  const Image pool = Sample(200, 21);
  const size_t colours = pool.size() / 3;
  Image frame;
  std::mt19937 rng(5);
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const size_t c = rng() % colours;
    frame.insert(frame.end(), pool.begin() + 3 * c, pool.begin() + 3 * c + 3);
  }
  Image frame32;
  for (size_t i = 0; i < frame.size(); i += 3)
    frame32.insert(frame32.end(), {frame[i], frame[i + 1], frame[i + 2], uint8_t(i * 7)});
  const int defaultWorkers = imaging::cc::WorkerThreads();
  for (auto vectors :
       {imaging::cpu::Vectors::kNone, imaging::cpu::Vectors::kAvx2, imaging::cpu::Vectors::kAvx512})
    for (int workers : {0, 3}) {
      SCOPED_TRACE(testing::Message() << "vectors " << int(vectors) << " workers " << workers);
      imaging::cpu::LimitVectors(vectors);
      imaging::cc::SetWorkerThreads(workers);
      Handle h;
      Settings s;
      for (int call = 0; call < 260; ++call) {
        Change(h.cc, s, call);
        if (call % 37 != 0 && call < 255) continue;
        SCOPED_TRACE(call);
        ExpectCorrected(h.cc, s, frame);  // cold
        ExpectCorrected(h.cc, s, frame);  // warm
        Image image = frame;
        ASSERT_EQ(ApplyColorCorrection(h.cc, image.data(), kWidth, kHeight), 1);
        Image image32 = frame32;
        ASSERT_EQ(ApplyColorCorrectionRGB32(h.cc, image32.data(), kWidth, kHeight), 1);
        for (size_t i = 0; i < frame.size() / 3; ++i)
          ASSERT_TRUE(std::memcmp(&image32[4 * i], &image[3 * i], 3) == 0 &&
                      image32[4 * i + 3] == frame32[4 * i + 3])
              << i;
      }
    }
  imaging::cc::SetWorkerThreads(defaultWorkers);
  imaging::cpu::LimitVectors(imaging::cpu::Vectors::kAvx512);
}

// The vector loops write a step's pixels with whole-vector stores that run
// past the step, and only the last step of a call or of a thread's part
// stores exactly. For every pixel count up to a few steps, and one frame
// split between threads: each loop, cold and warm, gives the rules' colours
// and leaves the bytes on both sides of the image as they were.
TEST(ColorCorrectionVariants, EveryLoopWritesOnlyItsOwnPixels) {
  constexpr size_t kGuard = 64;
  constexpr uint8_t kGuardByte = 0xA5;
  const Image pool = Sample(500, 31);
  const Settings warm = Warm();
  std::vector<int32_t> counts;
  for (int32_t n = 1; n <= 50; ++n) counts.push_back(n);
  counts.push_back(2 * 65536 + 7);  // split between the caller and the workers
  const int defaultWorkers = imaging::cc::WorkerThreads();
  for (auto vectors :
       {imaging::cpu::Vectors::kNone, imaging::cpu::Vectors::kAvx2, imaging::cpu::Vectors::kAvx512})
    for (int workers : {0, 3})
      for (size_t step : {3, 4}) {
        imaging::cpu::LimitVectors(vectors);
        imaging::cc::SetWorkerThreads(workers);
        Handle h;
        SetParams(h.cc, warm);
        for (const int32_t n : counts)
          for (const char* pass : {"cold", "warm"}) {
            SCOPED_TRACE(testing::Message() << "vectors " << int(vectors) << " workers " << workers
                                            << " bytes " << step << " pixels " << n << " " << pass);
            std::vector<uint8_t> buffer(kGuard + step * n + kGuard, kGuardByte);
            uint8_t* image = buffer.data() + kGuard;
            for (int32_t i = 0; i < n; ++i) {
              std::memcpy(image + step * i, &pool[3 * (size_t(i) * 7 % (pool.size() / 3))], 3);
              if (step == 4) image[4 * i + 3] = uint8_t(i);
            }
            const std::vector<uint8_t> in = buffer;
            ASSERT_EQ(step == 3 ? ApplyColorCorrection(h.cc, image, n, 1)
                                : ApplyColorCorrectionRGB32(h.cc, image, n, 1),
                      1);
            for (size_t k = 0; k < kGuard; ++k)
              ASSERT_TRUE(buffer[k] == kGuardByte && buffer[buffer.size() - 1 - k] == kGuardByte);
            for (int32_t i = 0; i < n; ++i) {
              const uint8_t* was = &in[kGuard + step * i];
              const auto want = Reference(warm, was[2], was[1], was[0]);
              ASSERT_TRUE(std::memcmp(image + step * i, want.data(), 3) == 0) << "pixel " << i;
              if (step == 4) {
                ASSERT_EQ(image[4 * i + 3], was[3]) << "pixel " << i;
              }
            }
          }
      }
  imaging::cc::SetWorkerThreads(defaultWorkers);
  imaging::cpu::LimitVectors(imaging::cpu::Vectors::kAvx512);
}

TEST(ColorCorrectionHue, HugeAndNonFiniteValuesGiveDefinedColours) {
  Handle h;
  const Image sample = Sample(3000);
  Settings s;
  s.saturationGain = 1.3;
  SetAll(h.cc, s);
  const Image unshifted = Corrected(h.cc, sample);
  for (double hue : {kNaN, kInf, -kInf}) {  // a shift that is not a number is no shift
    SetColorCorrectionHSL(h.cc, hue, 1.3, 1, 0);
    EXPECT_EQ(Corrected(h.cc, sample), unshifted) << hue;
  }
  for (double hue : {3600000.25, -3600000.25, 1e17, -1e17, 1e300, -1e300, 1.7976931348623157e308}) {
    s.hueShift = hue;  // whole turns come off exactly, however many
    SetAll(h.cc, s);
    SCOPED_TRACE(hue);
    ExpectCorrected(h.cc, s, sample);
  }
  SetColorCorrectionHSL(h.cc, 0.25, 1.3, 1, 0);
  const Image quarter = Corrected(h.cc, sample);
  SetColorCorrectionHSL(h.cc, 3600000.25, 1.3, 1, 0);  // ten thousand turns and a quarter degree
  EXPECT_EQ(Corrected(h.cc, sample), quarter);

  // Settings that are not numbers give 0 where a value is not a number.
  SetColorCorrectionParams(h.cc, kNaN, 0, kInf, 0, 1, -kInf, 0, kNaN, 1, 0);
  EXPECT_EQ(Corrected(h.cc, sample), Corrected(h.cc, sample));
  const double m[12] = {kInf, 0, 0, 0, kNaN, 0, 0, 0, -kInf, 0, 0, 0};
  SetColorCorrectionMatrix(h.cc, m);
  SetColorCorrectionMode(h.cc, 1);
  EXPECT_EQ(Corrected(h.cc, {0, 0, 0, 10, 10, 10}), (Image{0, 0, 0, 0, 0, 255}));
}

}  // namespace
