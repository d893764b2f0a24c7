// Brightness, contrast and gamma curves that map 10- and 12-bit samples: to
// 8 bits (the display lookup) or to samples of the same depth (the
// per-channel RAW tables). Slider values run from -127 to 127.
#ifndef VIEWER_CURVETABLES_H
#define VIEWER_CURVETABLES_H

#include <cstdint>

constexpr std::int32_t CurveMin = -127;
constexpr std::int32_t CurveMax = 127;

// B[v] = v / 254, added.
double CurveBrightness(std::int32_t v);
// C[v] = 4^(v / 127), a factor; C[-64] = 0.5 and C[64] = 2.0 exactly.
double CurveContrast(std::int32_t v);
// G[v] = 3^(v / 127), an exponent.
double CurveGamma(std::int32_t v);

// For i in 0..n-1: x = (i + 0.5) / n, raised to G[g] unless g is 0, then
// y = (x - 0.5) C[c] + 0.5 + B[b]; the 8-bit table takes trunc(256 y)
// clamped to 0..255, the 16-bit one trunc(n y) clamped to 0..n-1. b, c, g
// are clamped to -127..127.
void BuildCurveTable8(std::int32_t b, std::int32_t c, std::int32_t g, std::uint8_t* table,
                      std::int32_t n);
void BuildCurveTable16(std::int32_t b, std::int32_t c, std::int32_t g, std::uint16_t* table,
                       std::int32_t n);

// What a curve slider's label shows (2 decimals): brightness 2^(v / 127),
// contrast 4^(v / 127), gamma 3^(v / 127).
enum class TCurveKind { Brightness, Contrast, Gamma };
double CurveLabelValue(TCurveKind kind, std::int32_t v);

#endif
