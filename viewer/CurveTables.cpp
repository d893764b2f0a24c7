#include "viewer/CurveTables.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The three tables of 255 doubles, indexed by v + 127.
struct TCurves {
  std::array<double, 255> brightness, contrast, gamma;
};

const TCurves& Curves() {
  static const TCurves curves = [] {
    TCurves t{};
    for (std::int32_t v = CurveMin; v <= CurveMax; ++v) {
      const std::size_t i = static_cast<std::size_t>(v - CurveMin);
      t.brightness[i] = v / 254.0;
      t.contrast[i] = std::pow(4.0, v / 127.0);
      t.gamma[i] = std::pow(3.0, v / 127.0);
    }
    // Half and double contrast are exact at -64 and 64.
    t.contrast[static_cast<std::size_t>(-64 - CurveMin)] = 0.5;
    t.contrast[static_cast<std::size_t>(64 - CurveMin)] = 2.0;
    return t;
  }();
  return curves;
}

std::size_t Index(std::int32_t v) {
  return static_cast<std::size_t>(std::clamp(v, CurveMin, CurveMax) - CurveMin);
}

// y for entry i of n.
double CurveValue(std::int32_t b, std::int32_t c, std::int32_t g, std::int32_t i, std::int32_t n) {
  const TCurves& t = Curves();
  double x = (i + 0.5) / n;
  if (std::clamp(g, CurveMin, CurveMax) != 0) x = std::pow(x, t.gamma[Index(g)]);
  return (x - 0.5) * t.contrast[Index(c)] + 0.5 + t.brightness[Index(b)];
}

// trunc(scale y) clamped to 0..top, clamped before the conversion.
std::int32_t Clamped(double scaled, std::int32_t top) {
  if (!(scaled < top)) return top;
  if (scaled < 0) return 0;
  return static_cast<std::int32_t>(scaled);
}

}  // namespace

double CurveBrightness(std::int32_t v) { return Curves().brightness[Index(v)]; }
double CurveContrast(std::int32_t v) { return Curves().contrast[Index(v)]; }
double CurveGamma(std::int32_t v) { return Curves().gamma[Index(v)]; }

void BuildCurveTable8(std::int32_t b, std::int32_t c, std::int32_t g, std::uint8_t* table,
                      std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i)
    table[i] = static_cast<std::uint8_t>(Clamped(256 * CurveValue(b, c, g, i, n), 255));
}

void BuildCurveTable16(std::int32_t b, std::int32_t c, std::int32_t g, std::uint16_t* table,
                       std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i)
    table[i] = static_cast<std::uint16_t>(Clamped(n * CurveValue(b, c, g, i, n), n - 1));
}

double CurveLabelValue(TCurveKind kind, std::int32_t v) {
  const double base = kind == TCurveKind::Brightness ? 2.0
                      : kind == TCurveKind::Contrast ? 4.0
                                                     : 3.0;
  return std::pow(base, v / 127.0);
}
