#include "RenderSteps.h"

#include <QWidget>

#include <algorithm>

std::int32_t ValidZoom(std::int32_t code) {
  for (const TZoomStep& step : ZoomSteps)
    if (step.code == code) return code;
  return 1;
}

std::int32_t ZoomStepIn(std::int32_t code) {
  if (code == -2) return 1;
  return code < 4 ? code + 1 : 4;
}

std::int32_t ZoomStepOut(std::int32_t code) {
  if (code == 1) return -2;
  return code <= -4 ? -4 : code - 1;
}

std::int64_t DisplayExtent(std::int64_t extent, std::int32_t code) {
  std::int64_t drawn = extent;
  if (code >= 2) drawn = extent * code;
  if (code < 0) drawn = extent / -std::int64_t{code};
  return std::clamp<std::int64_t>(drawn, 0, QWIDGETSIZE_MAX);
}

void ApplyRAWChannelTables(std::uint16_t* frame, std::int32_t width, std::int32_t height,
                           const std::uint16_t* blue, const std::uint16_t* green,
                           const std::uint16_t* red) {
  if (width <= 0 || height <= 0) return;
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint16_t* row = frame + std::int64_t{y} * width;
    // Even rows: green, blue, green, ...; odd rows: red, green, red, ...
    const std::uint16_t* evenColumn = (y & 1) == 0 ? green : red;
    const std::uint16_t* oddColumn = (y & 1) == 0 ? blue : green;
    std::int32_t x = 0;
    for (; x + 1 < width; x += 2) {
      row[x] = evenColumn[row[x]];
      row[x + 1] = oddColumn[row[x + 1]];
    }
    if (x < width) row[x] = evenColumn[row[x]];
  }
}

bool WhiteBalanceGains(double gOverR, double gOverB, TChannelGains& gains) {
  if (gOverR <= 0 || gOverB <= 0) return false;
  const double s = 0.3 * gOverR + 0.59 + 0.11 * gOverB;
  gains.red = gOverR / s;
  gains.green = 1 / s;
  gains.blue = gOverB / s;
  return true;
}

void BuildGainTable(std::uint16_t* table, std::int32_t maxValue, double gain) {
  for (std::int32_t i = 0; i <= maxValue; ++i) {
    const double v = static_cast<double>(i) * gain + 0.5;
    // Clamped before the conversion, so no gain (not even a NaN) makes it
    // overflow.
    std::int32_t entry = maxValue;
    if (v < 0) entry = 0;
    else if (v < maxValue) entry = static_cast<std::int32_t>(v);
    table[i] = static_cast<std::uint16_t>(entry);
  }
}
