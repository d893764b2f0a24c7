// Bilinear demosaic (DebayerMode 4): every pixel keeps its sample and takes
// each missing colour from the mean of the nearest samples of that colour.
// The edges come from the shared neighbour-mean code; the inner loop applies
// the interior rule to columns 1 .. width-2 of rows 1 .. height-2.
#include "imaging/src/debayer_interp_edges.h"
#include "imaging/src/debayer_interp_simd.h"

namespace imaging::interp {
namespace {

IMAGING_AVX2_BEGIN

// Interior rule over columns [x0, x1) of row y, a block at a time. Every lane
// computes both the G-site and the R/B-site formulas; a constant mask of the
// G-site lanes picks between them. Blocks start at odd columns (x0 = 1 and
// the last block ends at width-1).
template <class Fmt, int Phase, int Py>
struct InnerBlocks {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f, int32_t y, int32_t x0, int32_t x1) {
    using S = typename Fmt::Sample;
    using L = avx2::ULanes<S>;
    using avx2::Blend;
    using avx2::Load;
    const S* row = f.Row(y);
    const ptrdiff_t w = f.w;
    // Lane j is column x + j with x odd, so the G sites (the parity other than
    // the R/B columns) are the lanes whose index parity is the R/B columns'.
    const __m256i green = L::Lanes(ColourColumn(Phase, Py));
    avx2::ForBlocks<Fmt>(f.Out(y), x0, x1, [&](int32_t x, S* out) IMAGING_AVX2_LAMBDA {
      const S* p = row + x;
      const __m256i c = Load(p);
      const avx2::Mean2 across = avx2::FloorMean<L>(Load(p - 1), Load(p + 1));
      const avx2::Mean2 along = avx2::FloorMean<L>(Load(p - w), Load(p + w));
      const __m256i four = avx2::FloorMean4<L>(across, along);
      // (NW + SW + 2 NE) >> 2 == (((NW + SW) >> 1) + NE) >> 1.
      const __m256i westPair = avx2::FloorMean<L>(Load(p - w - 1), Load(p + w - 1)).mean;
      const __m256i diag = avx2::FloorMean<L>(westPair, Load(p - w + 1)).mean;
      avx2::StoreRowPlanes<Fmt, RowColour(Phase, Py)>(
          out, Blend(c, across.mean, green), Blend(four, c, green), Blend(diag, along.mean, green));
    });
  }
};

IMAGING_AVX2_END

template <class Fmt, int Phase>
int32_t Bilinear(const typename Fmt::Sample* src, int32_t width, int32_t height,
                 typename Fmt::Sample* dst) {
  if (!Accepted(width, height)) return 0;
  const Frame<Fmt> f{src, width, height, dst};
  return WalkRowsWithVectors<Fmt, Phase, InnerBlocks>(
      f, 1, [&]<int Py>(int32_t y, int32_t x0, int32_t x1) {
        InteriorSpan<Fmt, Phase, Py>(f.Row(y), f.w, f.Out(y), x0, x1);
      });
}

}  // namespace
}  // namespace imaging::interp

IMAGING_DEFINE_DEBAYER_MEMBERS(Bilinear, imaging::interp::Bilinear)
