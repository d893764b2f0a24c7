// Adaptive demosaic (DebayerMode 5): the bilinear rules, except at the R and
// B sites of the inner zone (two pixels away from every edge). There the green
// is the mean along the direction in which the site's own colour changes less
// (|N2 - S2| against |E2 - W2|; the four-neighbour mean on a tie), and the
// diagonal colour is the mean of all four diagonals. The edges and the ring
// come from the shared neighbour-mean code.
#include <cstdlib>

#include "imaging/src/debayer_interp_edges.h"
#include "imaging/src/debayer_interp_simd.h"

namespace imaging::interp {
namespace {

// One inner-zone pixel; its G sites follow the bilinear rule.
template <class Fmt, int Phase, int Px, int Py>
inline void InnerPixel(const typename Fmt::Sample* __restrict p, ptrdiff_t w,
                       typename Fmt::Sample* __restrict d) {
  constexpr Colour site = PhaseColour(Phase, Px, Py);
  if constexpr (site == kGreen) {
    MeanPixel<Fmt, Phase, Px, Py, kAll>(p, w, d);
  } else {
    const int32_t vertical = std::abs(int32_t{p[-2 * w]} - p[2 * w]);
    const int32_t horizontal = std::abs(int32_t{p[2]} - p[-2]);
    const uint32_t n = p[-w], s = p[w], west = p[-1], e = p[1];
    const uint32_t g = vertical == horizontal  ? (n + west + e + s) >> 2
                       : vertical < horizontal ? (n + s) >> 1
                                               : (west + e) >> 1;
    const uint32_t diag = (uint32_t{p[-w - 1]} + p[-w + 1] + p[w - 1] + p[w + 1]) >> 2;
    StoreSite<Fmt>(d, site, p[0], g, diag);
  }
}

IMAGING_AVX2_BEGIN

// The inner zone a block at a time, both site formulas in every lane and a
// constant mask of the G-site lanes choosing. Blocks start at even columns.
template <class Fmt, int Phase, int Py>
struct InnerBlocks {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f, int32_t y, int32_t x0, int32_t x1) {
    using S = typename Fmt::Sample;
    using L = avx2::ULanes<S>;
    using avx2::Blend;
    using avx2::FloorMean;
    using avx2::Load;
    const S* row = f.Row(y);
    const ptrdiff_t w = f.w;
    const __m256i green = L::Lanes(ColourColumn(Phase, Py) ^ 1);
    avx2::ForBlocks<Fmt>(f.Out(y), x0, x1, [&](int32_t x, S* out) IMAGING_AVX2_LAMBDA {
      const S* p = row + x;
      const __m256i c = Load(p);
      const avx2::Mean2 across = FloorMean<L>(Load(p - 1), Load(p + 1));
      const avx2::Mean2 along = FloorMean<L>(Load(p - w), Load(p + w));
      const __m256i vertical = avx2::AbsDiff<L>(Load(p - 2 * w), Load(p + 2 * w));
      const __m256i horizontal = avx2::AbsDiff<L>(Load(p + 2), Load(p - 2));
      const __m256i verticalNotLess = L::Eq(L::Max(vertical, horizontal), vertical);
      __m256i g = Blend(along.mean, across.mean, verticalNotLess);
      g = Blend(g, avx2::FloorMean4<L>(across, along), L::Eq(vertical, horizontal));
      const __m256i diag = avx2::FloorMean4<L>(FloorMean<L>(Load(p - w - 1), Load(p - w + 1)),
                                               FloorMean<L>(Load(p + w - 1), Load(p + w + 1)));
      avx2::StoreRowPlanes<Fmt, RowColour(Phase, Py)>(
          out, Blend(c, across.mean, green), Blend(g, c, green), Blend(diag, along.mean, green));
    });
  }
};

IMAGING_AVX2_END

template <class Fmt, int Phase>
int32_t Adaptive(const typename Fmt::Sample* src, int32_t width, int32_t height,
                 typename Fmt::Sample* dst) {
  if (!Accepted(width, height)) return 0;
  const Frame<Fmt> f{src, width, height, dst};
  return WalkRowsWithVectors<Fmt, Phase, InnerBlocks>(
      f, 2, [&]<int Py>(int32_t y, int32_t x0, int32_t x1) {
        EvenSpan(f, y, x0, x1, [&]<int Px>(const auto* p, ptrdiff_t w, auto* d) {
          InnerPixel<Fmt, Phase, Px, Py>(p, w, d);
        });
      });
}

}  // namespace
}  // namespace imaging::interp

IMAGING_DEFINE_DEBAYER_MEMBERS(Adaptive, imaging::interp::Adaptive)
