// The Mono and Bayer demosaic families.
//   Mono:  every output pixel is (s, s, s) of its sample; the phase plays no
//          part, and every size is accepted (nothing written for n <= 0).
//   Bayer: the mosaic view: every pixel keeps its own sample in the channel of
//          its colour and 0 in the two others.
// One template per family, instantiated per format and phase by
// IMAGING_DEFINE_DEBAYER_MEMBERS; colours are compile-time constants.
#include <cstddef>
#include <cstdint>

#include "imaging/src/debayer_cell_walk.h"
#include "imaging/src/debayer_scheme.h"

namespace imaging {
namespace {

template <class Fmt, int Phase>
int32_t Mono(const typename Fmt::Sample* src, int32_t width, int32_t height,
             typename Fmt::Sample* dst) {
  // n as the defined signed 32-bit product (wrapping as the original did).
  const int32_t n =
      static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
  // The frame is one run of n pixels: rows follow each other end to end in
  // both the frame and the image.
  const typename Fmt::Sample* __restrict in = src;
  StoreRow<Fmt>(dst, n, [in](ptrdiff_t i) {
    const uint32_t s = in[i];
    return PackPixel<Fmt>(s, s, s);
  });
  return 1;
}

// The pixel of a sample of colour c: the sample in channel c, 0 elsewhere.
template <class Fmt, Colour c>
inline PixelWord<Fmt> MosaicPixel(uint32_t s) {
  return PackPixel<Fmt>(c == kRed ? s : 0u, c == kGreen ? s : 0u, c == kBlue ? s : 0u);
}

template <class Fmt, int Phase>
int32_t Bayer(const typename Fmt::Sample* src, int32_t width, int32_t height,
              typename Fmt::Sample* dst) {
  using L = CellLayout<Phase>;
  const CellSizes sizes = ClassifyCellSizes(width, height);
  if (sizes != CellSizes::kCells) return sizes == CellSizes::kRefused ? 0 : 1;
  WalkCellsFullSize<Fmt>(src, width, height, dst, [](const uint32_t(&s)[4]) {
    return CellPixels<Fmt>{
        MosaicPixel<Fmt, L::kColour[0]>(s[0]), MosaicPixel<Fmt, L::kColour[1]>(s[1]),
        MosaicPixel<Fmt, L::kColour[2]>(s[2]), MosaicPixel<Fmt, L::kColour[3]>(s[3])};
  });
  return 1;
}

}  // namespace
}  // namespace imaging

IMAGING_DEFINE_DEBAYER_MEMBERS(Mono, ::imaging::Mono)
IMAGING_DEFINE_DEBAYER_MEMBERS(Bayer, ::imaging::Bayer)
