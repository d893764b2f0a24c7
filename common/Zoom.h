// The camera application's zoom steps, one table: the code the controller
// stores (and preset files keep as "ZoomValue"), the percentage its label
// and the status panel show, and the scale a picture side is drawn at
// (multiplier / divisor). The "800" step draws at 800 %, as its label says.
#ifndef COMMON_ZOOM_H
#define COMMON_ZOOM_H

#include <cstdint>
#include <iterator>

struct TZoomStep {
  std::int32_t code;
  std::int32_t percent;
  std::int32_t multiplier;
  std::int32_t divisor;

  // A picture side of `extent` pixels as drawn at this step.
  constexpr std::int32_t Extent(std::int32_t extent) const {
    return extent * multiplier / divisor;
  }
};

inline constexpr TZoomStep ZoomSteps[] = {
    {-4, 25, 1, 4}, {-3, 33, 1, 3}, {-2, 50, 1, 2}, {1, 100, 1, 1},
    {2, 200, 2, 1}, {3, 300, 3, 1}, {4, 400, 4, 1}, {5, 800, 8, 1},
};

inline constexpr std::int32_t ZoomCodeSmallest = ZoomSteps[0].code;
inline constexpr std::int32_t ZoomCodeOriginal = 1;
inline constexpr std::int32_t ZoomCodeLargest = ZoomSteps[std::size(ZoomSteps) - 1].code;

// The step of a code. Codes without a step (0 and -1, which a preset file can
// store) draw at 100 %.
constexpr const TZoomStep& ZoomStepOfCode(std::int32_t code) {
  for (const TZoomStep& step : ZoomSteps)
    if (step.code == code) return step;
  return ZoomStepOfCode(ZoomCodeOriginal);
}

// The step of a percentage; any percentage without a step gives 100 %.
constexpr const TZoomStep& ZoomStepOfPercent(std::int32_t percent) {
  for (const TZoomStep& step : ZoomSteps)
    if (step.percent == percent) return step;
  return ZoomStepOfCode(ZoomCodeOriginal);
}

static_assert(ZoomStepOfCode(ZoomCodeOriginal).percent == 100);
static_assert(ZoomStepOfCode(0).code == ZoomCodeOriginal && ZoomStepOfCode(-1).code == ZoomCodeOriginal);

#endif
