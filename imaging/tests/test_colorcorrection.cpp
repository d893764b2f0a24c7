// Tests of the colour-correction object: results against a plain per-pixel
// evaluation of the correction rules written here, the documented block
// layout, and the cube's behaviour across settings changes and the wrap of
// its 8-bit stamp.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "imaging/colorcorrection.h"

#if defined(__SANITIZE_ADDRESS__)
#define CC_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define CC_TEST_SANITIZED 1
#endif
#endif
#ifndef CC_TEST_SANITIZED
#define CC_TEST_SANITIZED 0
#endif

namespace {

constexpr size_t kCubeBytes = size_t{4} << 24;

// ---------------------------------------------------------------------------
// Reference evaluation, one colour at a time, straight from the rules.

struct Settings {
  double gainR = 1, offsetR = 0, gainG = 1, offsetG = 0, gainB = 1, offsetB = 0;
  double hueShift = 0, saturationGain = 1, lightnessGain = 1, lightnessOffset = 0;
  int32_t mode = 0;
  std::array<double, 12> matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

struct Bgr {
  uint8_t b, g, r;
  bool operator==(const Bgr&) const = default;
};

uint8_t RefByte(double v) {
  if (v > 255) return 255;
  if (v < 0) return 0;
  return static_cast<uint8_t>(std::nearbyint(v));
}

double Clamp01(double v) { return v > 1 ? 1 : (v < 0 ? 0 : v); }

// Hue wrap: whole turns added or taken off one at a time for ordinary values;
// for values whose turns cannot be counted out, the exact remainder.
double RefWrap(double h) {
  if (std::fabs(h) < 1e7) {
    while (h < 0) h += 360;
    while (h > 360) h -= 360;
    return h;
  }
  double m = std::fmod(h, 360.0);
  if (m < 0) m += 360;
  if (m == 0 && h > 0) m = 360;
  return m;
}

Bgr RefHSL(const Settings& s, int R, int G, int B) {
  double c[3] = {(R * s.gainR + s.offsetR) / 255, (G * s.gainG + s.offsetG) / 255,
                 (B * s.gainB + s.offsetB) / 255};
  for (double& x : c) x = Clamp01(x);
  const double r = c[0], g = c[1], b = c[2];
  double mx = r, mn = r;
  for (double x : c) {
    if (x > mx) mx = x;
    if (x < mn) mn = x;
  }
  const double d = mx - mn;
  double L = (mx + mn) * 0.5;
  double S = 0;
  if (L > 0 && L < 1) {
    if (L < 0.5)
      S = d / (2 * L);
    else
      S = d / (2 - 2 * L);
  }
  double H;
  if (d == 0)
    H = 0;
  else if (r == mx)
    H = 60 * ((g - b) / d);
  else if (g == mx)
    H = 60 * ((b - r) / d + 2);
  else
    H = 60 * ((r - g) / d + 4);
  H = H + s.hueShift;
  S = Clamp01(S * s.saturationGain);
  L = Clamp01(L * s.lightnessGain + s.lightnessOffset);
  H = RefWrap(H);
  double f[3];
  if (H < 120) {
    f[0] = (120 - H) / 60, f[1] = H / 60, f[2] = 0;
  } else if (H < 240) {
    f[0] = 0, f[1] = (240 - H) / 60, f[2] = (H - 120) / 60;
  } else {
    f[0] = (H - 240) / 60, f[1] = 0, f[2] = (360 - H) / 60;
  }
  uint8_t out[3];
  for (int k = 0; k < 3; ++k) {
    double x = f[k] >= 1 ? 1 : f[k];
    x = x * 2 * S + (1 - S);
    if (L < 0.5)
      x = x * L;
    else
      x = x * (1 - L) - 1 + 2 * L;
    out[k] = RefByte(x * 255);
  }
  return {out[2], out[1], out[0]};
}

Bgr RefMatrix(const Settings& s, int R, int G, int B) {
  const auto& m = s.matrix;
  double v[3];
  for (int col = 0; col < 3; ++col)
    v[col] = m[col] * R + m[3 + col] * G + m[6 + col] * B + m[9 + col];
  return {RefByte(v[2]), RefByte(v[1]), RefByte(v[0])};
}

Bgr Reference(const Settings& s, int R, int G, int B) {
  return s.mode == 0 ? RefHSL(s, R, G, B) : RefMatrix(s, R, G, B);
}

// ---------------------------------------------------------------------------
// Images and helpers.

using Image = std::vector<uint8_t>;  // RGB24: B, G, R per pixel

Image ImageOf(const std::vector<Bgr>& colours) {
  Image img;
  for (const Bgr& c : colours) img.insert(img.end(), {c.b, c.g, c.r});
  return img;
}

// A wide sample of the cube: primaries, greys, edges and random colours.
std::vector<Bgr> SampleColours(size_t randomCount, unsigned seed = 7) {
  std::vector<Bgr> out;
  for (int v = 0; v < 256; ++v) {
    const auto u = static_cast<uint8_t>(v);
    out.push_back({u, u, u});
    out.push_back({0, 0, u});
    out.push_back({0, u, 0});
    out.push_back({u, 0, 0});
    out.push_back({255, u, 0});
    out.push_back({u, 255, static_cast<uint8_t>(255 - v)});
  }
  std::mt19937 rng(seed);
  for (size_t i = 0; i < randomCount; ++i) {
    const uint32_t x = rng();
    out.push_back({static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8),
                   static_cast<uint8_t>(x >> 16)});
  }
  return out;
}

// Corrects `colours` as an RGB24 image and checks every pixel against the
// reference for `s`.
void ExpectCorrected(ColorCorrection* cc, const Settings& s, const std::vector<Bgr>& colours) {
  Image img = ImageOf(colours);
  ASSERT_EQ(ApplyColorCorrection(cc, img.data(), static_cast<int32_t>(colours.size()), 1), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    const Bgr& in = colours[i];
    const Bgr want = Reference(s, in.r, in.g, in.b);
    const Bgr got{img[3 * i], img[3 * i + 1], img[3 * i + 2]};
    ASSERT_EQ(got, want) << "input B,G,R = " << int(in.b) << "," << int(in.g) << ","
                         << int(in.r) << " got " << int(got.b) << "," << int(got.g) << ","
                         << int(got.r) << " want " << int(want.b) << "," << int(want.g) << ","
                         << int(want.r);
  }
}

void SetAll(ColorCorrection* cc, const Settings& s) {
  SetColorCorrectionParams(cc, s.gainR, s.offsetR, s.gainG, s.offsetG, s.gainB, s.offsetB,
                           s.hueShift, s.saturationGain, s.lightnessGain, s.lightnessOffset);
}

struct Handle {
  ColorCorrection* cc = CreateColorCorrection();
  ~Handle() { FreeColorCorrection(cc); }
};

// Raw view of the block by its documented layout.
const uint8_t* Block(const ColorCorrection* cc) { return reinterpret_cast<const uint8_t*>(cc); }
const uint8_t* EntryOf(const ColorCorrection* cc, int R, int G, int B) {
  return Block(cc) + 4 * (size_t(B) * 65536 + size_t(R) * 256 + size_t(G));
}
double SettingAt(const ColorCorrection* cc, size_t offset) {
  double v;
  std::memcpy(&v, Block(cc) + kCubeBytes + offset, sizeof v);
  return v;
}
uint8_t StampOf(const ColorCorrection* cc) { return Block(cc)[kCubeBytes + 184]; }

Settings Warm() {
  Settings s;
  s.gainR = 1.1, s.offsetR = -3, s.gainG = 0.95, s.offsetG = 2.5, s.gainB = 1.3, s.offsetB = 0;
  s.hueShift = 25, s.saturationGain = 1.4, s.lightnessGain = 0.9, s.lightnessOffset = 0.03;
  return s;
}

// ---------------------------------------------------------------------------

TEST(ColorCorrectionObject, FreshBlockLayout) {
  Handle h;
  ASSERT_NE(h.cc, nullptr);
  // Settings follow the cube: Mode, Matrix, offsets before gains, HSL values.
  int32_t mode;
  std::memcpy(&mode, Block(h.cc) + kCubeBytes, sizeof mode);
  EXPECT_EQ(mode, 0);
  for (int k = 0; k < 12; ++k)
    EXPECT_EQ(SettingAt(h.cc, 8 + 8 * k), (k == 0 || k == 4 || k == 8) ? 1.0 : 0.0);
  const double fields[10] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(SettingAt(h.cc, 104 + 8 * k), fields[k]) << k;
  EXPECT_EQ(StampOf(h.cc), 0);
  // Every cube entry holds its own colour with stamp 0.
  std::mt19937 rng(3);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t x = rng();
    const int R = x & 255, G = (x >> 8) & 255, B = (x >> 16) & 255;
    const uint8_t* e = EntryOf(h.cc, R, G, B);
    ASSERT_TRUE(e[0] == B && e[1] == G && e[2] == R && e[3] == 0);
  }
}

TEST(ColorCorrectionObject, SettersStoreInFieldOrderAndGettersUseArgumentOrder) {
  Handle h;
  EXPECT_EQ(SetColorCorrectionGains(h.cc, 1.5, -2, 2.5, -3, 3.5, -4), 1);
  // Fields: OffsetR, GainR, OffsetG, GainG, OffsetB, GainB.
  const double stored[6] = {-2, 1.5, -3, 2.5, -4, 3.5};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(SettingAt(h.cc, 104 + 8 * k), stored[k]);
  double v[6];
  EXPECT_EQ(GetColorCorrectionGains(h.cc, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
  const double given[6] = {1.5, -2, 2.5, -3, 3.5, -4};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(v[k], given[k]);

  EXPECT_EQ(SetColorCorrectionHSL(h.cc, 30, 0.5, 0.75, 0.125), 1);
  // Fields: HueShift, SaturationGain, LightnessOffset, LightnessGain.
  EXPECT_EQ(SettingAt(h.cc, 152), 30);
  EXPECT_EQ(SettingAt(h.cc, 160), 0.5);
  EXPECT_EQ(SettingAt(h.cc, 168), 0.125);
  EXPECT_EQ(SettingAt(h.cc, 176), 0.75);
  EXPECT_EQ(GetColorCorrectionHSL(h.cc, &v[0], &v[1], &v[2], &v[3]), 1);
  EXPECT_EQ(v[0], 30);
  EXPECT_EQ(v[1], 0.5);
  EXPECT_EQ(v[2], 0.75);
  EXPECT_EQ(v[3], 0.125);

  EXPECT_EQ(SetColorCorrectionParams(h.cc, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 1);
  EXPECT_EQ(GetColorCorrectionGains(h.cc, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(v[k], k + 1);
  EXPECT_EQ(GetColorCorrectionHSL(h.cc, &v[0], &v[1], &v[2], &v[3]), 1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(v[k], k + 7);

  double m[12], back[12];
  for (int k = 0; k < 12; ++k) m[k] = 0.5 * k - 1;
  EXPECT_EQ(SetColorCorrectionMatrix(h.cc, m), 1);
  EXPECT_EQ(GetColorCorrectionMatrix(h.cc, back), 1);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(back[k], m[k]);
}

TEST(ColorCorrectionObject, NullHandleAndModeResult) {
  double d[12];
  uint8_t px[4] = {1, 2, 3, 4};
  EXPECT_EQ(FreeColorCorrection(nullptr), 0);
  EXPECT_EQ(SetColorCorrectionGains(nullptr, 1, 0, 1, 0, 1, 0), 0);
  EXPECT_EQ(GetColorCorrectionGains(nullptr, d, d, d, d, d, d), 0);
  EXPECT_EQ(SetColorCorrectionHSL(nullptr, 0, 1, 1, 0), 0);
  EXPECT_EQ(GetColorCorrectionHSL(nullptr, d, d, d, d), 0);
  EXPECT_EQ(SetColorCorrectionParams(nullptr, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0), 0);
  EXPECT_EQ(SetColorCorrectionMatrix(nullptr, d), 0);
  EXPECT_EQ(GetColorCorrectionMatrix(nullptr, d), 0);
  EXPECT_EQ(SetColorCorrectionMode(nullptr, 1), 0);
  EXPECT_EQ(ApplyColorCorrection(nullptr, px, 1, 1), 0);
  EXPECT_EQ(ApplyColorCorrectionRGB32(nullptr, px, 1, 1), 0);
  EXPECT_EQ(px[0], 1);
  EXPECT_EQ(px[3], 4);

  Handle h;
  EXPECT_EQ(SetColorCorrectionMode(h.cc, 1), 0);
  EXPECT_EQ(SetColorCorrectionMode(h.cc, 0), 0);
}

TEST(ColorCorrectionObject, EverySetterMovesTheStampOnSkippingTheStaleMark) {
  Handle h;
  double m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  double d[12];
  int expected = 0;
  for (int call = 0; call < 600; ++call) {
    switch (call % 5) {
      case 0: SetColorCorrectionGains(h.cc, 1, 0, 1, 0, 1, 0); break;
      case 1: SetColorCorrectionHSL(h.cc, 0, 1, 1, 0); break;
      case 2: SetColorCorrectionParams(h.cc, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0); break;
      case 3: SetColorCorrectionMatrix(h.cc, m); break;
      default: SetColorCorrectionMode(h.cc, 0); break;
    }
    expected = expected == 255 ? 1 : expected + 1;
    ASSERT_EQ(StampOf(h.cc), expected) << "after call " << call + 1;
    // Getters change nothing.
    GetColorCorrectionMatrix(h.cc, d);
    GetColorCorrectionHSL(h.cc, d, d, d, d);
    ASSERT_EQ(StampOf(h.cc), expected);
  }
}

// ---------------------------------------------------------------------------

TEST(ColorCorrectionApply, FreshObjectLeavesImagesUnchangedWithoutComputing) {
  Handle h;
  const std::vector<Bgr> colours = SampleColours(50000);
  Image img = ImageOf(colours);
  const Image before = img;
  std::vector<uint8_t> cubeBefore(Block(h.cc), Block(h.cc) + kCubeBytes);
  EXPECT_EQ(ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1), 1);
  EXPECT_EQ(img, before);
  EXPECT_EQ(std::memcmp(cubeBefore.data(), Block(h.cc), kCubeBytes), 0) << "cube was written";

  // The creation-time entries are served as they are: one altered by hand
  // comes out as stored, proving it is read and not computed.
  uint8_t* entry = const_cast<uint8_t*>(EntryOf(h.cc, 10, 20, 30));
  entry[0] = 1, entry[1] = 2, entry[2] = 3;
  uint8_t px[3] = {30, 20, 10};
  ApplyColorCorrection(h.cc, px, 1, 1);
  EXPECT_EQ(px[0], 1);
  EXPECT_EQ(px[1], 2);
  EXPECT_EQ(px[2], 3);
}

TEST(ColorCorrectionApply, DefaultSettingsKeepColoursAfterEverySetter) {
  Handle h;
  const std::vector<Bgr> colours = SampleColours(200000);
  const double identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (int setter = 0; setter < 5; ++setter) {
    switch (setter) {
      case 0: SetColorCorrectionGains(h.cc, 1, 0, 1, 0, 1, 0); break;
      case 1: SetColorCorrectionHSL(h.cc, 0, 1, 1, 0); break;
      case 2: SetColorCorrectionParams(h.cc, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0); break;
      case 3: SetColorCorrectionMatrix(h.cc, identity); break;
      default: SetColorCorrectionMode(h.cc, 0); break;
    }
    Image img = ImageOf(colours);
    ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
    ASSERT_EQ(img, ImageOf(colours)) << "setter " << setter;
  }
  // The identity matrix keeps colours too.
  SetColorCorrectionMode(h.cc, 1);
  Image img = ImageOf(colours);
  ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(img, ImageOf(colours));
}

// Every one of the 16,777,216 colours through HSL and back (and through the
// identity matrix) comes out unchanged. Reduced to every 7th blue level under
// the sanitizers, which run this far slower.
TEST(ColorCorrectionApply, DefaultSettingsKeepEveryColour) {
  Handle h;
  const int blueStep = CC_TEST_SANITIZED ? 7 : 1;
  Image all;
  all.reserve(size_t(3) << 24);
  for (int b = 0; b < 256; b += blueStep)
    for (int r = 0; r < 256; ++r)
      for (int g = 0; g < 256; ++g)
        all.insert(all.end(), {uint8_t(b), uint8_t(g), uint8_t(r)});
  const int32_t pixels = static_cast<int32_t>(all.size() / 3);
  for (int mode : {0, 1}) {
    SetColorCorrectionMode(h.cc, mode);
    Image img = all;
    ApplyColorCorrection(h.cc, img.data(), pixels, 1);
    if (img != all) {
      size_t i = 0;
      while (img[i] == all[i]) ++i;
      i -= i % 3;
      FAIL() << "mode " << mode << " changed B,G,R " << int(all[i]) << "," << int(all[i + 1])
             << "," << int(all[i + 2]) << " into " << int(img[i]) << "," << int(img[i + 1])
             << "," << int(img[i + 2]);
    }
  }
}

TEST(ColorCorrectionApply, WorkedExamples) {
  Handle h;
  Settings s;
  // HueShift 120 maps pure red to pure green.
  s.hueShift = 120;
  SetAll(h.cc, s);
  uint8_t red[3] = {0, 0, 255};
  ApplyColorCorrection(h.cc, red, 1, 1);
  EXPECT_EQ(red[0], 0);
  EXPECT_EQ(red[1], 255);
  EXPECT_EQ(red[2], 0);

  const std::vector<Bgr> colours = SampleColours(20000);
  // HueShift 360 gives the same image as 0 (which keeps every colour).
  s.hueShift = 360;
  SetAll(h.cc, s);
  Image img = ImageOf(colours);
  ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(img, ImageOf(colours));

  // Greys keep their hue-less grey under any HueShift; the grey is the
  // lightness times LightnessGain plus LightnessOffset.
  std::vector<Bgr> greys;
  for (int v = 0; v < 256; ++v) greys.push_back({uint8_t(v), uint8_t(v), uint8_t(v)});
  s = Settings{};
  s.hueShift = 77;
  SetAll(h.cc, s);
  img = ImageOf(greys);
  ApplyColorCorrection(h.cc, img.data(), 256, 1);
  EXPECT_EQ(img, ImageOf(greys));
  s.lightnessGain = 0.5;
  SetAll(h.cc, s);
  uint8_t grey[3] = {100, 100, 100};
  ApplyColorCorrection(h.cc, grey, 1, 1);
  EXPECT_EQ(grey[0], 50);
  EXPECT_EQ(grey[1], 50);
  EXPECT_EQ(grey[2], 50);
  s.lightnessGain = 1, s.lightnessOffset = 0.5;
  SetAll(h.cc, s);
  uint8_t grey2[3] = {200, 200, 200};
  ApplyColorCorrection(h.cc, grey2, 1, 1);
  EXPECT_EQ(grey2[0], 255);  // lightness limited to 1

  // SaturationGain 0 turns every colour into a grey.
  s = Settings{};
  s.saturationGain = 0;
  SetAll(h.cc, s);
  img = ImageOf(colours);
  ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    ASSERT_EQ(img[3 * i], img[3 * i + 1]);
    ASSERT_EQ(img[3 * i], img[3 * i + 2]);
  }
  ExpectCorrected(h.cc, s, colours);

  // GainR 2 takes every R of 128 or more to full scale.
  s = Settings{};
  s.gainR = 2;
  SetAll(h.cc, s);
  img = ImageOf(colours);
  ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    if (colours[i].r >= 128) {
      ASSERT_EQ(img[3 * i + 2], 255) << i;
    }
  }
  ExpectCorrected(h.cc, s, colours);
}

TEST(ColorCorrectionApply, MatrixCorrection) {
  Handle h;
  Settings s;
  s.mode = 1;
  SetColorCorrectionMode(h.cc, 1);
  const std::vector<Bgr> colours = SampleColours(20000);
  Image img = ImageOf(colours);
  ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(img, ImageOf(colours));

  // Outputs beyond 255 or below 0 give 255 and 0; the constant row is in
  // 8-bit units.
  const double m[12] = {2, 0, 0, 0, -1, 0, 0, 0, 1, 0, 300, 10};
  SetColorCorrectionMatrix(h.cc, m);
  std::copy(m, m + 12, s.matrix.begin());
  uint8_t px[3] = {40, 50, 200};  // B, G, R
  ApplyColorCorrection(h.cc, px, 1, 1);
  EXPECT_EQ(px[2], 255);  // 2 x 200
  EXPECT_EQ(px[1], 250);  // -50 + 300
  EXPECT_EQ(px[0], 50);   // 40 + 10
  const double neg[12] = {-1, 0, 0, 0, 0, 0, 0, 0, 0, 0.5, 127, 128.5};
  SetColorCorrectionMatrix(h.cc, neg);
  uint8_t px2[3] = {0, 0, 100};
  ApplyColorCorrection(h.cc, px2, 1, 1);
  EXPECT_EQ(px2[2], 0);    // -99.5 limited to 0
  EXPECT_EQ(px2[1], 127);
  EXPECT_EQ(px2[0], 128);  // 128.5 rounds to the even 128
  const double half[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 127.5, 0.5, 1.5};
  SetColorCorrectionMatrix(h.cc, half);
  uint8_t px3[3] = {9, 9, 9};
  ApplyColorCorrection(h.cc, px3, 1, 1);
  EXPECT_EQ(px3[2], 128);  // 127.5 rounds to the even 128
  EXPECT_EQ(px3[1], 0);
  EXPECT_EQ(px3[0], 2);

  const double mix[12] = {0.8, 0.1, 0.05, 0.15, 0.85, 0.1, 0.05, 0.05, 0.9, -4.5, 3.25, 0.5};
  SetColorCorrectionMatrix(h.cc, mix);
  std::copy(mix, mix + 12, s.matrix.begin());
  ExpectCorrected(h.cc, s, colours);
}

TEST(ColorCorrectionApply, VariousSettingsMatchReference) {
  Handle h;
  const std::vector<Bgr> colours = SampleColours(30000);
  Settings s = Warm();
  SetAll(h.cc, s);
  ExpectCorrected(h.cc, s, colours);
  for (double hue : {-180.0, -120.0, -59.9, 0.1, 60.0, 119.99, 179.5, 180.0, 240.0, 300.0, 359.9,
                     720.5, -725.25}) {
    s.hueShift = hue;
    SetAll(h.cc, s);
    ExpectCorrected(h.cc, s, colours);
  }
  s = Settings{};
  s.gainG = 0.5, s.offsetB = 40, s.offsetR = -60, s.saturationGain = 3, s.lightnessGain = 1.2,
  s.lightnessOffset = -0.1, s.hueShift = -45;
  SetAll(h.cc, s);
  ExpectCorrected(h.cc, s, colours);
}

TEST(ColorCorrectionApply, EmptyAndNegativeSizes) {
  Handle h;
  SetColorCorrectionHSL(h.cc, 90, 1, 1, 0);
  uint8_t px[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<uint8_t> before(px, px + 12);
  for (auto [w, hgt] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-1, 4}, std::pair{4, -2}}) {
    EXPECT_EQ(ApplyColorCorrection(h.cc, px, w, hgt), 1);
    EXPECT_EQ(ApplyColorCorrectionRGB32(h.cc, px, w, hgt), 1);
    EXPECT_EQ(std::vector<uint8_t>(px, px + 12), before);
  }
  // Two negative dimensions make a positive product: that many pixels.
  EXPECT_EQ(ApplyColorCorrection(h.cc, px, -2, -2), 1);
  Settings s;
  s.hueShift = 90;
  for (int i = 0; i < 4; ++i) {
    const Bgr want = Reference(s, before[3 * i + 2], before[3 * i + 1], before[3 * i]);
    EXPECT_EQ((Bgr{px[3 * i], px[3 * i + 1], px[3 * i + 2]}), want);
  }
}

TEST(ColorCorrectionApply, RGB32KeepsFourthByteAndMatchesRGB24) {
  Handle h;
  const Settings s = Warm();
  SetAll(h.cc, s);
  std::vector<Bgr> colours = SampleColours(5000);
  colours.resize(6500);  // 130 rows of 50
  std::vector<uint8_t> img32;
  for (size_t i = 0; i < colours.size(); ++i)
    img32.insert(img32.end(), {colours[i].b, colours[i].g, colours[i].r, uint8_t(i * 7 + 1)});
  EXPECT_EQ(ApplyColorCorrectionRGB32(h.cc, img32.data(), 50, 130), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    const Bgr want = Reference(s, colours[i].r, colours[i].g, colours[i].b);
    ASSERT_EQ((Bgr{img32[4 * i], img32[4 * i + 1], img32[4 * i + 2]}), want);
    ASSERT_EQ(img32[4 * i + 3], uint8_t(i * 7 + 1));
  }
}

TEST(ColorCorrectionApply, CachedAndComputedResultsAgree) {
  Handle h;
  const Settings s = Warm();
  SetAll(h.cc, s);
  // A frame with many repeated colours: first pixels compute, later ones read.
  std::vector<Bgr> colours = SampleColours(3000);
  const std::vector<Bgr> once = colours;
  colours.insert(colours.end(), once.begin(), once.end());
  Image first = ImageOf(colours), second = ImageOf(colours);
  ApplyColorCorrection(h.cc, first.data(), static_cast<int32_t>(colours.size()), 1);
  ApplyColorCorrection(h.cc, second.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(first, second);
  ExpectCorrected(h.cc, s, colours);
  // Correcting a corrected buffer applies the correction a second time.
  Image twice = first;
  ApplyColorCorrection(h.cc, twice.data(), static_cast<int32_t>(colours.size()), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    const Bgr want = Reference(s, first[3 * i + 2], first[3 * i + 1], first[3 * i]);
    ASSERT_EQ((Bgr{twice[3 * i], twice[3 * i + 1], twice[3 * i + 2]}), want);
  }
}

// ---------------------------------------------------------------------------
// The cube across many settings changes and the wrap of the 8-bit stamp.

// One setter call of a kind chosen by `call`, with values derived from it;
// `s` follows what the object holds.
void ChangeSettings(ColorCorrection* cc, Settings& s, int call) {
  const double t = call;
  switch (call % 6) {
    case 0:
      s.gainR = 0.8 + 0.003 * (call % 97), s.offsetR = (call % 11) - 5;
      s.gainG = 1.0, s.offsetG = 0.5 * (call % 5);
      s.gainB = 1.2 - 0.002 * (call % 53), s.offsetB = -(call % 7);
      SetColorCorrectionGains(cc, s.gainR, s.offsetR, s.gainG, s.offsetG, s.gainB, s.offsetB);
      break;
    case 1:
      s.hueShift = std::fmod(t * 37.5, 360.0) - 180, s.saturationGain = 0.5 + 0.01 * (call % 90);
      s.lightnessGain = 0.8 + 0.001 * (call % 400), s.lightnessOffset = 0;
      SetColorCorrectionHSL(cc, s.hueShift, s.saturationGain, s.lightnessGain, s.lightnessOffset);
      break;
    case 2:
      for (int k = 0; k < 12; ++k) s.matrix[k] = ((k % 4 == 0) ? 0.9 : 0.05) + 0.001 * ((call + k) % 13);
      s.matrix[9] = (call % 9) - 4;
      SetColorCorrectionMatrix(cc, s.matrix.data());
      break;
    case 3:
      s.mode = (call / 6) % 2;
      SetColorCorrectionMode(cc, s.mode == 0 ? 0 : 1 + call % 3);
      break;
    case 4:
      s.gainR = 1.0, s.offsetR = 3, s.gainG = 0.9, s.offsetG = 0, s.gainB = 1.1, s.offsetB = 0;
      s.hueShift = -t / 4, s.saturationGain = 1.2, s.lightnessGain = 1, s.lightnessOffset = 0.01;
      SetAll(cc, s);
      break;
    default:  // a call that stores the values already held
      SetAll(cc, s);
      break;
  }
}

// Entries computed k setter calls before the check, around every multiple of
// the stamp's range, are never served as current.
TEST(ColorCorrectionCache, EntriesFromEarlierSettingsAreNeverServed) {
  const std::vector<Bgr> colours = SampleColours(400, 11);
  for (int k : {1, 2, 254, 255, 256, 257, 258, 509, 510, 511, 512, 513, 765, 766}) {
    Handle h;
    Settings s;
    s.hueShift = 150, s.saturationGain = 0.3;
    SetAll(h.cc, s);
    ExpectCorrected(h.cc, s, colours);  // entries now carry this call's stamp
    for (int call = 1; call < k; ++call) ChangeSettings(h.cc, s, call);
    s.hueShift = -100, s.saturationGain = 1.7, s.mode = 0;
    SetAll(h.cc, s);
    SetColorCorrectionMode(h.cc, 0);
    SCOPED_TRACE(k);
    ExpectCorrected(h.cc, s, colours);
  }
}

// The creation-time identity entries are stale once any setter has run, also
// when the number of calls is a multiple of the stamp's range.
TEST(ColorCorrectionCache, CreationEntriesAreNeverServedAfterChanges) {
  const std::vector<Bgr> colours = SampleColours(400, 12);
  for (int calls : {1, 255, 256, 257, 511, 512, 513}) {
    Handle h;
    Settings s;
    for (int call = 1; call < calls; ++call) ChangeSettings(h.cc, s, call);
    s = Warm();
    SetAll(h.cc, s);
    SetColorCorrectionMode(h.cc, 0);
    SCOPED_TRACE(calls);
    ExpectCorrected(h.cc, s, colours);
  }
}

// A long run of changes with partial images in between, so that entries of
// every age and both modes meet the checks.
TEST(ColorCorrectionCache, LongRunMatchesFreshEvaluation) {
  Handle h;
  const std::vector<Bgr> pool = SampleColours(1024, 13);
  Settings s;
  for (int call = 0; call < 800; ++call) {
    ChangeSettings(h.cc, s, call);
    std::vector<Bgr> part;
    const size_t start = (size_t(call) * 389) % pool.size();
    for (size_t i = 0; i < 96; ++i) part.push_back(pool[(start + i * 5) % pool.size()]);
    SCOPED_TRACE(call);
    ExpectCorrected(h.cc, s, part);
  }
}

// ---------------------------------------------------------------------------
// Hue shifts outside the callers' range.

TEST(ColorCorrectionHue, HugeAndNonFiniteShiftsEndWithDefinedColours) {
  Handle h;
  const std::vector<Bgr> colours = SampleColours(3000);
  Image unshifted = ImageOf(colours);
  SetColorCorrectionHSL(h.cc, 0, 1.3, 1, 0);
  ApplyColorCorrection(h.cc, unshifted.data(), static_cast<int32_t>(colours.size()), 1);

  // A shift that is not a finite number leaves the hue alone.
  for (double hue : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
    SetColorCorrectionHSL(h.cc, hue, 1.3, 1, 0);
    Image img = ImageOf(colours);
    ApplyColorCorrection(h.cc, img.data(), static_cast<int32_t>(colours.size()), 1);
    EXPECT_EQ(img, unshifted) << hue;
  }
  // Whole turns come off exactly, however many there are.
  Settings s;
  s.saturationGain = 1.3;
  for (double hue : {3600000.25, -3600000.25, 1e17, -1e17, 1e300, -1e300, 1.7976931348623157e308}) {
    s.hueShift = hue;
    SetAll(h.cc, s);
    SCOPED_TRACE(hue);
    ExpectCorrected(h.cc, s, colours);
  }
  // 3600000.25 is ten thousand turns and a quarter degree.
  s.hueShift = 0.25;
  Image quarter = ImageOf(colours);
  SetAll(h.cc, s);
  ApplyColorCorrection(h.cc, quarter.data(), static_cast<int32_t>(colours.size()), 1);
  SetColorCorrectionHSL(h.cc, 3600000.25, 1.3, 1, 0);
  Image many = ImageOf(colours);
  ApplyColorCorrection(h.cc, many.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(many, quarter);
}

TEST(ColorCorrectionHue, NonFiniteGainsGiveDefinedBytes) {
  Handle h;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  SetColorCorrectionParams(h.cc, nan, 0, inf, 0, 1, -inf, 0, nan, 1, 0);
  const std::vector<Bgr> colours = SampleColours(1000);
  Image a = ImageOf(colours), b = ImageOf(colours);
  ApplyColorCorrection(h.cc, a.data(), static_cast<int32_t>(colours.size()), 1);
  ApplyColorCorrection(h.cc, b.data(), static_cast<int32_t>(colours.size()), 1);
  EXPECT_EQ(a, b);
  const double m[12] = {inf, 0, 0, 0, nan, 0, 0, 0, -inf, 0, 0, 0};
  SetColorCorrectionMatrix(h.cc, m);
  SetColorCorrectionMode(h.cc, 1);
  uint8_t px[6] = {0, 0, 0, 10, 10, 10};
  ApplyColorCorrection(h.cc, px, 2, 1);
  // inf x 0 is not a number: such outputs are 0.
  EXPECT_EQ(px[2], 0);
  EXPECT_EQ(px[5], 255);
  EXPECT_EQ(px[3], 0);
}

}  // namespace
