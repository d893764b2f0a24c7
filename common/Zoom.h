// The zoom steps of both programs, one table: the code the controller or
// the viewer stores (preset files keep it as "ZoomValue"), the percentage
// labels and the status panel show, and the scale a picture side is drawn at
// (multiplier / divisor). The "800" step draws at 800 %, as its label says.
// The camera application uses every step; the viewer those up to 400 %.
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
  template <class Int>
  constexpr Int Extent(Int extent) const {
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
// The viewer's largest step: 400 %.
inline constexpr std::int32_t ViewerZoomCodeLargest = 4;

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

// One step larger, up to `largest`, and one step smaller, down to 25 %.
// Codes 0 and -1 have no step of their own: 0 first counts as 100 %, a step
// up that lands on -1 goes on to 100 %, and a step down that lands on 0 goes
// on to 50 %.
constexpr std::int32_t ZoomCodeIn(std::int32_t code, std::int32_t largest) {
  if (code == 0) code = ZoomCodeOriginal;
  code = code < largest ? code + 1 : largest;
  return code == -1 ? ZoomCodeOriginal : code;
}
constexpr std::int32_t ZoomCodeOut(std::int32_t code) {
  if (code == 0) code = ZoomCodeOriginal;
  code = code > ZoomCodeSmallest ? code - 1 : ZoomCodeSmallest;
  return code == 0 ? ZoomStepOfPercent(50).code : code;
}

static_assert(ZoomStepOfCode(ZoomCodeOriginal).percent == 100);
static_assert(ZoomStepOfCode(ViewerZoomCodeLargest).percent == 400);
static_assert(ZoomStepOfCode(0).code == ZoomCodeOriginal &&
              ZoomStepOfCode(-1).code == ZoomCodeOriginal);

#endif
