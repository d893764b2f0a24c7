// The colour rules: what a cube entry holds for a colour under the current
// settings (gain, offset and HSL scaling, or the affine matrix).
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/src/colorcorrection_cube.h"

namespace imaging::cc {
namespace {

// Byte conversion: above 255 gives 255, below 0 gives 0, otherwise the nearest
// integer with halves to even. A value that is not a number (only reachable
// through non-finite settings) gives 0.
inline uint32_t ToByte(double v) {
  if (v > 255) return 255;
  if (!(v >= 0)) return 0;
  return static_cast<uint32_t>(std::nearbyint(v));
}

inline double Limit01(double v) {
  if (v > 1) return 1;
  if (v < 0) return 0;
  return v;
}

// Brings a hue in degrees into 0..360 as adding 360 while it is below 0 and
// then subtracting 360 while it is above 360 would. Every whole turn taken off
// before the last step is exact, so the remainder gives the same value; unlike
// the repeated steps it ends for any magnitude. The result lies in [0, 360]
// (360 kept as 360, as the stepping keeps it).
inline double WrapHue(double h) {
  // One turn (the usual case) is a single step, as in the stepping.
  if (h < 0 && h >= -360) return h + 360;
  if (h > 360 && h <= 720) return h - 360;
  if (h < 0) {
    h = std::fmod(h, 360.0);  // exact, in (-360, 0]
    h = (h < 0) ? h + 360 : 0.0;
  }
  if (h > 360) {
    h = std::fmod(h, 360.0);  // exact, in [0, 360)
    if (h == 0) h = 360;
  }
  return h;
}

inline double HueFraction(double x) { return x >= 1 ? 1 : x; }

inline double ApplySaturationLightness(double x, double s, double l) {
  x = x * (2 * s) + (1 - s);
  return l < 0.5 ? x * l : x * (1 - l) - 1 + 2 * l;
}

// Gain and offset per channel, then hue shift and saturation and lightness
// scaling in HSL space.
uint32_t CorrectGainHSL(const ColorCorrection& c, uint32_t R, uint32_t G, uint32_t B) {
  const double r = Limit01((R * c.GainR + c.OffsetR) / 255);
  const double g = Limit01((G * c.GainG + c.OffsetG) / 255);
  const double b = Limit01((B * c.GainB + c.OffsetB) / 255);

  const double mx = std::max(r, std::max(g, b));
  const double mn = std::min(r, std::min(g, b));
  const double d = mx - mn;
  double l = (mx + mn) * 0.5;
  double s = 0;
  if (0 < l && l < 1) s = (l < 0.5) ? d / (2 * l) : d / (2 - 2 * l);

  double hue = 0;
  if (d != 0) {
    if (r == mx)
      hue = 60 * ((g - b) / d);
    else if (g == mx)
      hue = 60 * ((b - r) / d + 2);
    else
      hue = 60 * ((r - g) / d + 4);
  }

  // A shift that is not a finite number of degrees leaves the hue as it is.
  double h = hue + c.HueShift;
  if (!std::isfinite(h)) h = hue;
  s = Limit01(s * c.SaturationGain);
  l = Limit01(l * c.LightnessGain + c.LightnessOffset);
  h = WrapHue(h);

  double fr, fg, fb;
  if (h < 120) {
    fr = (120 - h) / 60;
    fg = h / 60;
    fb = 0;
  } else if (h < 240) {
    fr = 0;
    fg = (240 - h) / 60;
    fb = (h - 120) / 60;
  } else {
    fr = (h - 240) / 60;
    fg = 0;
    fb = (360 - h) / 60;
  }
  fr = ApplySaturationLightness(HueFraction(fr), s, l);
  fg = ApplySaturationLightness(HueFraction(fg), s, l);
  fb = ApplySaturationLightness(HueFraction(fb), s, l);
  return PackColour(ToByte(fr * 255), ToByte(fg * 255), ToByte(fb * 255));
}

// Affine matrix in 8-bit units: rows are the inputs R, G, B and the constant.
uint32_t CorrectMatrix(const ColorCorrection& c, uint32_t R, uint32_t G, uint32_t B) {
  const double* m = c.Matrix;
  const double r = R, g = G, b = B;
  return PackColour(ToByte(m[0] * r + m[3] * g + m[6] * b + m[9]),
                    ToByte(m[1] * r + m[4] * g + m[7] * b + m[10]),
                    ToByte(m[2] * r + m[5] * g + m[8] * b + m[11]));
}

}  // namespace

// Kept out of line: the loops call it only for entries that are not current.
[[gnu::noinline]] uint32_t FillEntry(ColorCorrection& c, uint32_t index) {
  const uint32_t key = KeyOf(index);
  const uint32_t B = key >> 16, R = (key >> 8) & 0xFF, G = key & 0xFF;
  const uint32_t colour = (c.Mode == 0) ? CorrectGainHSL(c, R, G, B) : CorrectMatrix(c, R, G, B);
  const uint32_t entry = colour | uint32_t{c.Stamp} << 24;
  StoreEntry(c, index, entry);
  return entry;
}

}  // namespace imaging::cc
