#include "viewer/RenderSteps.h"

#include <QWidget>

#include <algorithm>

#include "common/Zoom.h"

std::int32_t ValidZoom(std::int32_t code) {
  const TZoomStep& step = ZoomStepOfCode(code);
  return step.code <= ViewerZoomCodeLargest ? step.code : ZoomCodeOriginal;
}

std::int64_t DisplayExtent(std::int64_t extent, std::int32_t code) {
  const std::int64_t drawn = ZoomStepOfCode(ValidZoom(code)).Extent(extent);
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

void BuildGainTable(std::uint16_t* table, std::int32_t maxValue, double gain) {
  for (std::int32_t i = 0; i <= maxValue; ++i) {
    const double v = static_cast<double>(i) * gain + 0.5;
    // Clamped before the conversion, so no gain (not even a NaN) makes it
    // overflow.
    std::int32_t entry = maxValue;
    if (v < 0)
      entry = 0;
    else if (v < maxValue)
      entry = static_cast<std::int32_t>(v);
    table[i] = static_cast<std::uint16_t>(entry);
  }
}
