// The Nearest, Bin2x2 and Preview demosaic families. Each works
// inside one 2 x 2 filter cell and never looks at a neighbouring cell:
//   Nearest: top-row pixels (B, Gt, R), bottom-row pixels (B, Gb, R);
//   Bin2x2:  all four pixels (B, Gm, R), Gm = (Gt + Gb) >> 1 in 32 bits;
//   Preview: one pixel (B, Gm, R) per cell in a half-size image.
// One template per family, instantiated per format and phase by
// IMAGING_DEFINE_DEBAYER_MEMBERS: the cell positions of R, B, Gt and Gb are
// compile-time constants, so no pixel tests its phase or format.
#include <cstddef>
#include <cstdint>

#include "imaging/src/debayer_cell_walk.h"
#include "imaging/src/debayer_scheme.h"

namespace imaging {
namespace {

template <class Fmt, int Phase>
int32_t Nearest(const typename Fmt::Sample* src, int32_t width, int32_t height,
                typename Fmt::Sample* dst) {
  using L = CellLayout<Phase>;
  const CellSizes sizes = ClassifyCellSizes(width, height);
  if (sizes != CellSizes::kCells) return sizes == CellSizes::kRefused ? 0 : 1;
  WalkCellsFullSize<Fmt>(src, width, height, dst, [](const uint32_t(&s)[4]) {
    const auto top = PackPixel<Fmt>(s[L::kR], s[L::kGt], s[L::kB]);
    const auto bottom = PackPixel<Fmt>(s[L::kR], s[L::kGb], s[L::kB]);
    return CellPixels<Fmt>{top, top, bottom, bottom};
  });
  return 1;
}

template <class Fmt, int Phase>
int32_t Bin2x2(const typename Fmt::Sample* src, int32_t width, int32_t height,
               typename Fmt::Sample* dst) {
  using L = CellLayout<Phase>;
  const CellSizes sizes = ClassifyCellSizes(width, height);
  if (sizes != CellSizes::kCells) return sizes == CellSizes::kRefused ? 0 : 1;
  WalkCellsFullSize<Fmt>(src, width, height, dst, [](const uint32_t(&s)[4]) {
    const uint32_t gm = (s[L::kGt] + s[L::kGb]) >> 1;
    const auto pixel = PackPixel<Fmt>(s[L::kR], gm, s[L::kB]);
    return CellPixels<Fmt>{pixel, pixel, pixel, pixel};
  });
  return 1;
}

template <class Fmt, int Phase>
int32_t Preview(const typename Fmt::Sample* src, int32_t width, int32_t height,
                typename Fmt::Sample* dst) {
  using L = CellLayout<Phase>;
  const CellSizes sizes = ClassifyCellSizes(width, height);
  if (sizes != CellSizes::kCells) return sizes == CellSizes::kRefused ? 0 : 1;
  WalkCellsHalfSize<Fmt>(src, width, height, dst, [](const uint32_t(&s)[4]) {
    const uint32_t gm = (s[L::kGt] + s[L::kGb]) >> 1;
    return PackPixel<Fmt>(s[L::kR], gm, s[L::kB]);
  });
  return 1;
}

}  // namespace
}  // namespace imaging

IMAGING_DEFINE_DEBAYER_MEMBERS(Nearest, ::imaging::Nearest)
IMAGING_DEFINE_DEBAYER_MEMBERS(Bin2x2, ::imaging::Bin2x2)
IMAGING_DEFINE_DEBAYER_MEMBERS(Preview, ::imaging::Preview)
