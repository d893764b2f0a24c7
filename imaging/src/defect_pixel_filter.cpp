// The defect-pixel filter. Each row is filtered on its own: a sample is clamped
// into the range spanned by its two neighbours at distance d and the
// straight-line extrapolations from each side, when that range is not a single
// value. All new values of a row come from the unfiltered row: they go to a row
// buffer that then replaces the row (CopyBytes).
//
// The classic filter's row buffer holds 8192 samples and the caller keeps rows
// that short. Rows longer than that are filtered the same way, in segments of
// the buffer's size: a segment's last 2d new values are held back until the
// next segment has been computed, since that segment still reads the original
// samples there. So every width gives the classic filter's result and the
// buffer never overflows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "imaging/pixelutil.h"

namespace {

constexpr int32_t kRowBuffer = 8192;

// New values of positions [first, last) of row x: signed arithmetic in
// Wide (int16_t holds every value for 8-bit samples: -255 .. 510).
template <class Sample, class Wide, int D>
inline void FilterSegment(const Sample* __restrict x, ptrdiff_t first, ptrdiff_t last,
                          Sample* __restrict out) {
  for (ptrdiff_t i = first; i < last; ++i) {
    const Wide a = x[i - D];
    const Wide b = x[i + D];
    const Wide pL = static_cast<Wide>(2 * a - x[i - 2 * D]);
    const Wide pR = static_cast<Wide>(2 * b - x[i + 2 * D]);
    const Wide lo = std::min(std::min(a, b), std::min(pL, pR));
    const Wide hi = std::max(std::max(a, b), std::max(pL, pR));
    const Wide v = x[i];
    const Wide clamped = std::min(std::max(v, lo), hi);
    out[i - first] = static_cast<Sample>(lo < hi ? clamped : v);
  }
}

template <class Sample, class Wide, int D>
void FilterRow(Sample* row, int32_t width, Sample* buffer /* kRowBuffer + 2D */) {
  const ptrdiff_t first = 2 * D;  // positions [first, last) may change
  const ptrdiff_t last = static_cast<ptrdiff_t>(width) - 2 * D;
  if (last <= first) return;
  // buffer[0, held) are new values of positions [start - held, start).
  ptrdiff_t held = 0;
  for (ptrdiff_t start = first; start < last;) {
    const ptrdiff_t end = std::min<ptrdiff_t>(last, start + kRowBuffer);
    FilterSegment<Sample, Wide, D>(row, start, end, buffer + held);
    const ptrdiff_t total = held + (end - start);
    const ptrdiff_t keep = end < last ? 2 * D : 0;  // still needed as originals
    CopyBytes(row + (start - held), buffer, static_cast<uint32_t>((total - keep) * sizeof(Sample)));
    for (ptrdiff_t k = 0; k < keep; ++k) buffer[k] = buffer[total - keep + k];
    held = keep;
    start = end;
  }
}

template <class Sample, class Wide>
void FilterFrame(Sample* frame, int32_t width, int32_t height, int32_t bayer) {
  if (width <= 0 || height <= 0) return;
  Sample buffer[kRowBuffer + 4];  // lives with the call: no heap
  for (int32_t y = 0; y < height; ++y) {
    Sample* row = frame + static_cast<ptrdiff_t>(y) * width;
    if (bayer != 0)
      FilterRow<Sample, Wide, 2>(row, width, buffer);
    else
      FilterRow<Sample, Wide, 1>(row, width, buffer);
  }
}

}  // namespace

extern "C" void FilterDefectPixels8Bit(uint8_t* frame, int32_t width, int32_t height,
                                       int32_t bayer) {
  FilterFrame<uint8_t, int16_t>(frame, width, height, bayer);
}

extern "C" void FilterDefectPixels16Bit(uint16_t* frame, int32_t width, int32_t height,
                                        int32_t bayer) {
  FilterFrame<uint16_t, int32_t>(frame, width, height, bayer);
}
