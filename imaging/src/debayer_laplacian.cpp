// Laplacian demosaic (DebayerMode 6). In the inner zone (two pixels away from
// every edge) the work is done in two steps:
//  1. the green of every R and B site, interpolated along the direction of
//     smaller variation (|difference of the two greens| + |second difference
//     of the site's own colour|) and corrected by a quarter of that second
//     difference (an eighth of both on a tie), limited to 0..M;
//  2. the other colours: at a G site the mean of the two neighbours of each
//     colour corrected by a quarter of the green second difference; at an R
//     or B site the diagonal pair of smaller variation (a tie: all four)
//     corrected by the green second difference along it; limited to 0..M.
// The greens of step 1 are kept in the image's G channel and read back from
// there by step 2. The inner rows are taken in pairs (an even and an odd row):
// step 1 of the two rows below a pair's first row, then step 2 of the pair,
// so the greens that step 2 reads are always made. The edges and the ring come
// from the shared neighbour-mean code, whose greens are the step-1 greens
// there. The vector loops keep the greens of step 1 in rows of their own
// instead (see GreenRows), and write the image's pixels once, in step 2.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "debayer_interp_edges.h"
#include "debayer_interp_simd.h"

namespace imaging::interp {
namespace {

// Largest output value: 255 for 8-bit images, 65535 for 16-bit ones.
template <class Fmt>
constexpr int32_t kMax = sizeof(typename Fmt::Sample) == 1 ? 255 : 65535;

template <class Fmt>
inline int32_t Limit(int32_t v) {
  return std::clamp(v, 0, kMax<Fmt>);
}

// Step 1 at an inner-zone pixel: an R or B site gets its green in the G
// channel; a G site has nothing to do.
template <class Fmt, int Phase, int Px, int Py>
inline void GreenPixel(const typename Fmt::Sample* __restrict p, ptrdiff_t w,
                       typename Fmt::Sample* __restrict d) {
  if constexpr (PhaseColour(Phase, Px, Py) != kGreen) {
    const int32_t c = p[0], n = p[-w], s = p[w], west = p[-1], e = p[1];
    const int32_t dh = 2 * c - p[-2] - p[2], dv = 2 * c - p[-2 * w] - p[2 * w];
    const int32_t kh = std::abs(west - e) + std::abs(dh), kv = std::abs(n - s) + std::abs(dv);
    const int32_t g = kh == kv  ? ((west + e + n + s) >> 2) + (dh + dv) / 8
                      : kh < kv ? ((west + e) >> 1) + dh / 4
                                : ((n + s) >> 1) + dv / 4;
    d[1] = static_cast<typename Fmt::Sample>(Limit<Fmt>(g));
  }
}

// Step 2 at an inner-zone pixel, reading the greens around it from the image.
template <class Fmt, int Phase, int Px, int Py>
inline void OtherColoursPixel(const typename Fmt::Sample* __restrict p, ptrdiff_t w,
                              typename Fmt::Sample* __restrict d) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  constexpr Colour site = PhaseColour(Phase, Px, Py);
  const ptrdiff_t dw = w * ch;
  auto green = [d](ptrdiff_t offset) -> int32_t { return d[offset + 1]; };
  if constexpr (site == kGreen) {
    const int32_t g2 = 2 * int32_t{p[0]};
    const int32_t across = ((p[-1] + p[1]) >> 1) + (g2 - green(-ch) - green(ch)) / 4;
    const int32_t along = ((p[-w] + p[w]) >> 1) + (g2 - green(-dw) - green(dw)) / 4;
    StoreGreenSite<Fmt, Phase, Py>(d, p[0], Limit<Fmt>(across), Limit<Fmt>(along));
  } else {
    const int32_t g = green(0);
    const int32_t nw = p[-w - 1], ne = p[-w + 1], sw = p[w - 1], se = p[w + 1];
    const int32_t d1 = 2 * g - green(-dw - ch) - green(dw + ch);
    const int32_t d2 = 2 * g - green(-dw + ch) - green(dw - ch);
    const int32_t k1 = std::abs(nw - se) + std::abs(d1), k2 = std::abs(ne - sw) + std::abs(d2);
    const int32_t v = k1 == k2  ? (nw + ne + sw + se + d1 + d2) / 4
                      : k1 < k2 ? (nw + se + d1) / 2
                                : (ne + sw + d2) / 2;
    StoreSite<Fmt>(d, site, p[0], g, Limit<Fmt>(v));
  }
}

// Step 1 (Green) or step 2 over columns [x0, x1) of an inner-zone row.
template <class Fmt, int Phase, int Py, bool Green>
void ScalarSpan(const Frame<Fmt>& f, int32_t y, int32_t x0, int32_t x1) {
  EvenSpan(f, y, x0, x1, [&]<int Px>(const auto* p, ptrdiff_t w, auto* d) {
    if constexpr (Green)
      GreenPixel<Fmt, Phase, Px, Py>(p, w, d);
    else
      OtherColoursPixel<Fmt, Phase, Px, Py>(p, w, d);
  });
}

// The greens of step 1 as the vector loops keep them: four rows of the
// image's width (row y in slot y % 4), each holding the green of every pixel
// in natural order (the sample at a G site, the limited step-1 green at an R
// or B site). Step 2 of a pair reads rows a - 1 .. a + 2 from here with one
// load per block, instead of picking the G channel out of the interleaved
// image, and the image's inner pixels are written once. The edge and ring
// pixels' greens are copied in from the image once the shared code has made
// them.
template <class S>
struct GreenRows {
  S* base;
  ptrdiff_t w;
  S* Row(int32_t y) const { return base + (y & 3) * w; }
};

// Copies the G channel of columns [x0, x1) of output row y into its green row.
template <class Fmt>
void CopyGreens(const Frame<Fmt>& f, const GreenRows<typename Fmt::Sample>& rows, int32_t y,
                int32_t x0, int32_t x1) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  const typename Fmt::Sample* out = f.Out(y);
  typename Fmt::Sample* row = rows.Row(y);
  for (int32_t x = x0; x < x1; ++x) row[x] = out[x * ch + 1];
}

// The greens of row y outside the inner columns [x0, x1).
template <class Fmt>
void CopyRingGreens(const Frame<Fmt>& f, const GreenRows<typename Fmt::Sample>& rows, int32_t y,
                    int32_t x0, int32_t x1) {
  CopyGreens(f, rows, y, 0, x0);
  CopyGreens(f, rows, y, x1, static_cast<int32_t>(f.w));
}

IMAGING_AVX2_BEGIN

// The AVX2 steps work on half-width signed lanes: a block's R or B sites in
// one register and its G sites in another (lane i: columns x + 2i and
// x + 2i + 1). Blocks start at even columns; q is the parity of the R/B
// columns of the row, so the R/B sites of the rows above and below lie at
// parity 1 - q. A neighbour one pixel to the side in the same parity class is
// the next or previous lane, read by loading two samples further on or back.

// Step 1 at the block of a row at p: the block's greens, packed (the samples
// of its G sites and the limited greens of its R/B sites).
template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE __m256i GreenBlock(const typename Fmt::Sample* p, ptrdiff_t w) {
  using H = avx2::SLanes<typename Fmt::Sample>;
  constexpr int q = ColourColumn(Phase, Py);
  const avx2::Halves mid = H::Split(p), left = H::Split(p - 2), right = H::Split(p + 2);
  const __m256i c = q ? mid.odd : mid.even;
  const __m256i w2 = q ? left.odd : left.even, e2 = q ? right.odd : right.even;
  const __m256i west = q ? mid.even : left.odd, east = q ? right.even : mid.odd;
  const __m256i n = H::template Part<q>(p - w), s = H::template Part<q>(p + w);
  const __m256i n2 = H::template Part<q>(p - 2 * w), s2 = H::template Part<q>(p + 2 * w);

  const __m256i c2 = H::Add(c, c);
  const __m256i dh = H::Sub(H::Sub(c2, w2), e2), dv = H::Sub(H::Sub(c2, n2), s2);
  const __m256i kh = H::Add(H::Abs(H::Sub(west, east)), H::Abs(dh));
  const __m256i kv = H::Add(H::Abs(H::Sub(n, s)), H::Abs(dv));
  const __m256i across = H::Add(west, east), along = H::Add(n, s);
  const __m256i horizontal = H::Gt(kv, kh), vertical = H::Gt(kh, kv);
  // Both the mean and the correction are a + b over a common divisor: the
  // horizontal terms twice, the vertical ones twice, or one of each on a tie.
  // The mean of the chosen direction is (a + b) / 4 of the neighbour sums, the
  // correction (a + b) / 8 of the second differences (a quarter of one, an
  // eighth of both).
  auto twoOf = [&](__m256i h, __m256i v) {
    return H::Add(avx2::Blend(h, v, vertical), avx2::Blend(v, h, horizontal));
  };
  const __m256i g =
      H::Add(H::template Sra<2>(twoOf(across, along)), avx2::TruncDiv<H, 3>(twoOf(dh, dv)));
  return q ? H::Pack(mid.even, g) : H::Pack(g, mid.odd);
}

// Writes a block's greens, packed as GreenBlock returns them, to a green row.
template <class S>
IMAGING_AVX2_INLINE void StoreGreenRow(S* row, __m256i packed) {
  avx2::Store(row, _mm256_shuffle_epi8(packed, avx2::Mask(kNaturalOrder<sizeof(S)>)));
}

// A block's output planes, packed: the colour of the row's R/B sites, G, and
// the other colour.
struct Planes {
  __m256i row, green, other;
};

// Step 2 at the block of a row (row parity Py) at p. greensUp, greensRow,
// greensDown: the green rows (see GreenRows) of the row above, this row and the row below at
// the block's first column. gUp, gRow, gDown: the greens of the R/B sites of
// those rows; the one green beyond the block that each needs one place over
// is read from the green rows.
template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE Planes OtherColoursBlock(const typename Fmt::Sample* p, ptrdiff_t w,
                                             const typename Fmt::Sample* greensUp,
                                             const typename Fmt::Sample* greensRow,
                                             const typename Fmt::Sample* greensDown, __m256i gUp,
                                             __m256i gRow, __m256i gDown) {
  using H = avx2::SLanes<typename Fmt::Sample>;
  constexpr int q = ColourColumn(Phase, Py), n = kBlock<Fmt>;
  const avx2::Halves mid = H::Split(p), left = H::Split(p - 2), right = H::Split(p + 2);
  const avx2::Halves up = H::Split(p - w), upLeft = H::Split(p - w - 2),
                     upRight = H::Split(p - w + 2);
  const avx2::Halves down = H::Split(p + w), downLeft = H::Split(p + w - 2),
                     downRight = H::Split(p + w + 2);
  // Samples: this row's G sites and R/B sites, the G sites' W and E (R/B
  // sites of this row) and N and S (R/B sites of the rows beside), and the
  // R/B sites' diagonals.
  const __m256i gs = q ? mid.even : mid.odd, c = q ? mid.odd : mid.even;
  const __m256i west = q ? left.odd : mid.even, east = q ? mid.odd : right.even;
  const __m256i nn = q ? up.even : up.odd, ss = q ? down.even : down.odd;
  const __m256i nw = q ? up.even : upLeft.odd, ne = q ? upRight.even : up.odd;
  const __m256i sw = q ? down.even : downLeft.odd, se = q ? downRight.even : down.odd;
  // The greens one place over.
  const __m256i gRowSide =
      q ? avx2::PreviousLanes<H>(gRow, greensRow[-1]) : avx2::NextLanes<H>(gRow, greensRow[n]);
  const __m256i gWest = q ? gRowSide : gRow, gEast = q ? gRow : gRowSide;
  const __m256i gUpSide =
      q ? avx2::NextLanes<H>(gUp, greensUp[n]) : avx2::PreviousLanes<H>(gUp, greensUp[-1]);
  const __m256i gDownSide =
      q ? avx2::NextLanes<H>(gDown, greensDown[n]) : avx2::PreviousLanes<H>(gDown, greensDown[-1]);
  const __m256i gNw = q ? gUp : gUpSide, gNe = q ? gUpSide : gUp;
  const __m256i gSw = q ? gDown : gDownSide, gSe = q ? gDownSide : gDown;

  // G sites: neighbour means corrected by a quarter of the green second
  // difference.
  const __m256i g2 = H::Add(gs, gs);
  const __m256i across = H::Add(H::template Sra<1>(H::Add(west, east)),
                                avx2::TruncDiv<H, 2>(H::Sub(H::Sub(g2, gWest), gEast)));
  const __m256i along = H::Add(H::template Sra<1>(H::Add(nn, ss)),
                               avx2::TruncDiv<H, 2>(H::Sub(H::Sub(g2, gUp), gDown)));
  // R/B sites: the diagonal colour.
  const __m256i gc2 = H::Add(gRow, gRow);
  const __m256i d1 = H::Sub(H::Sub(gc2, gNw), gSe), d2 = H::Sub(H::Sub(gc2, gNe), gSw);
  const __m256i k1 = H::Add(H::Abs(H::Sub(nw, se)), H::Abs(d1));
  const __m256i k2 = H::Add(H::Abs(H::Sub(ne, sw)), H::Abs(d2));
  // The chosen diagonal's sum twice, or both sums on a tie, over 4.
  const __m256i first = H::Add(H::Add(nw, se), d1), second = H::Add(H::Add(ne, sw), d2);
  const __m256i firstSmaller = H::Gt(k2, k1), secondSmaller = H::Gt(k1, k2);
  const __m256i quarters =
      H::Add(avx2::Blend(first, second, secondSmaller), avx2::Blend(second, first, firstSmaller));
  const __m256i diag = avx2::TruncDiv<H, 2>(quarters);

  auto pack = [&](__m256i colourSite, __m256i greenSite) {
    return q ? H::Pack(greenSite, colourSite) : H::Pack(colourSite, greenSite);
  };
  return {pack(c, across), pack(gRow, gs), pack(diag, along)};
}

template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE void StorePlanes(typename Fmt::Sample* out, const Planes& planes) {
  avx2::StoreRowPlanes<Fmt, RowColour(Phase, Py), true>(out, planes.row, planes.green,
                                                        planes.other);
}

// The row functions copy what they use of the frame into locals: a byte
// store may alias anything, and would otherwise make every block reload it.

// Step 1 over row 2, the first inner-zone row, into its green row. The last,
// partial block is made over the span's last kBlock columns: it writes some
// greens again, with the same values.
template <class Fmt, int Phase>
struct FirstGreens {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f,
                                      const GreenRows<typename Fmt::Sample>& rows, int32_t x0,
                                      int32_t x1) {
    using S = typename Fmt::Sample;
    constexpr int32_t n = kBlock<Fmt>;
    const S* const row = f.Row(2);
    S* const greens = rows.Row(2);
    const ptrdiff_t w = f.w;
    for (int32_t x = x0; x < x1; x += n) {
      const int32_t at = x + n <= x1 ? x : x1 - n;
      StoreGreenRow(greens + at, GreenBlock<Fmt, Phase, 0>(row + at, w));
    }
  }
};

// Rows a (even) and a + 1 of the inner zone, block by block: step 1 of rows
// a + 1 and a + 2 into their green rows (when BelowInner; otherwise a + 2 is
// the ring row, whose green row is copied already), then step 2 of rows a and
// a + 1. Step 2 reads the greens of rows a - 1 and a from their green rows
// and takes those of rows a + 1 and a + 2 from step 1. Step 2 also reads, from
// the green rows, the one green just beside its block in each of its rows,
// which may lie in the next block, so step 1 runs one block ahead. The last, partial block is made
// over the span's last kBlock columns (see ForBlocks).
template <class Fmt, int Phase, bool BelowInner>
IMAGING_AVX2_INLINE void RowPair(const Frame<Fmt>& f, const GreenRows<typename Fmt::Sample>& rows,
                                 int32_t a, int32_t x0, int32_t x1) {
  using S = typename Fmt::Sample;
  using H = avx2::SLanes<S>;
  constexpr int32_t n = kBlock<Fmt>;
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  constexpr int q0 = ColourColumn(Phase, 0),
                q1 = ColourColumn(Phase, 1);  // R/B columns of rows a, a + 1
  const ptrdiff_t w = f.w, dw = w * ch;
  const S* const srcA = f.Row(a);
  const S* const srcB = srcA + w;
  const S* const srcC = srcB + w;
  S* const dA = f.Out(a);
  S* const dB = dA + dw;
  const S* const gUp = rows.Row(a - 1);
  const S* const gA = rows.Row(a);
  S* const gB = rows.Row(a + 1);
  S* const gC = rows.Row(a + 2);

  struct Below {
    __m256i b, c;  // greens of the R/B sites of rows a + 1 and a + 2
  };
  auto stepOne = [=](int32_t x) IMAGING_AVX2_LAMBDA -> Below {
    // Ahead (within the span) of the row met here first: the source row
    // furthest down. The output rows are written whole, block by block.
    const int32_t ahead = x + 4 * n < x1 ? x + 4 * n : x1 - 1;
    _mm_prefetch(reinterpret_cast<const char*>((BelowInner ? srcC : srcB) + 2 * w + ahead),
                 _MM_HINT_T0);
    const __m256i packedB = GreenBlock<Fmt, Phase, 1>(srcB + x, w);
    StoreGreenRow(gB + x, packedB);
    if constexpr (BelowInner) {
      const __m256i packedC = GreenBlock<Fmt, Phase, 0>(srcC + x, w);
      StoreGreenRow(gC + x, packedC);
      return {H::template Unpack<q1>(packedB), H::template Unpack<q0>(packedC)};
    } else {
      return {H::template Unpack<q1>(packedB), H::template Part<q0>(gC + x)};
    }
  };
  auto stepTwo = [=](int32_t x, S* outA, S* outB, const Below& below) IMAGING_AVX2_LAMBDA {
    const __m256i greensAbove = H::template Part<q1>(gUp + x);
    const __m256i greensA = H::template Part<q0>(gA + x);
    const Planes planesA = OtherColoursBlock<Fmt, Phase, 0>(srcA + x, w, gUp + x, gA + x, gB + x,
                                                            greensAbove, greensA, below.b);
    const Planes planesB = OtherColoursBlock<Fmt, Phase, 1>(srcB + x, w, gA + x, gB + x, gC + x,
                                                            greensA, below.b, below.c);
    StorePlanes<Fmt, Phase, 0>(outA, planesA);
    StorePlanes<Fmt, Phase, 1>(outB, planesB);
  };

  const int32_t last = x1 - n;
  Below below = stepOne(x0);
  int32_t x = x0;
  for (; x <= last; x += n) {
    const int32_t next = x + n < last ? x + n : last;
    const Below belowNext = next != x ? stepOne(next) : below;
    stepTwo(x, dA + x * ch, dB + x * ch, below);
    below = belowNext;
  }
  if (x < x1) {
    S partA[n * ch], partB[n * ch];
    stepTwo(last, partA, partB, below);
    std::memcpy(dA + x * ch, partA + (x - last) * ch, sizeof(S) * ch * (x1 - x));
    std::memcpy(dB + x * ch, partB + (x - last) * ch, sizeof(S) * ch * (x1 - x));
  }
}

template <class Fmt, int Phase>
struct Pair {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f,
                                      const GreenRows<typename Fmt::Sample>& rows, int32_t a,
                                      int32_t x0, int32_t x1, bool belowInner) {
    if (belowInner)
      RowPair<Fmt, Phase, true>(f, rows, a, x0, x1);
    else
      RowPair<Fmt, Phase, false>(f, rows, a, x0, x1);
  }
};

IMAGING_AVX2_END

template <class Fmt, int Phase>
int32_t Laplacian(const typename Fmt::Sample* src, int32_t width, int32_t height,
                  typename Fmt::Sample* dst) {
  if (!Accepted(width, height)) return 0;
  const Frame<Fmt> f{src, width, height, dst};
  const int32_t x0 = 2, x1 = width - 2;  // inner columns
  TopRow<Fmt, Phase>(f);
  RowAround<Fmt, Phase>(f, 1, 1, 1);
  if (x0 >= x1 || height < 6) {
    // No inner zone: every other row is a ring row.
    for (int32_t y = 2; y <= height - 2; ++y) RowAround<Fmt, Phase>(f, y, 1, 1);
  } else {
    // Inner rows 2 .. height-3, in pairs of an even and an odd row. Before a
    // pair, the edge and ring pixels of the two rows below it are made: step
    // 2 of the pair reads their greens.
    using S = typename Fmt::Sample;
    // The vector loops need the green rows; without the memory for them
    // (a C caller gets no exception) the portable loops do the same work.
    std::unique_ptr<S[]> greenStore;
    if (x1 - x0 >= kBlock<Fmt>)
      greenStore.reset(new (std::nothrow) S[4 * static_cast<size_t>(width)]);
    const Vectors vectors = greenStore ? ActiveVectors() : Vectors::kNone;
    const GreenRows<S> rows{greenStore.get(), f.w};
    if (vectors != Vectors::kNone) CopyGreens(f, rows, 1, 0, width);
    RowAround<Fmt, Phase>(f, 2, x0, x1);
    if (vectors != Vectors::kNone) {
      CopyRingGreens(f, rows, 2, x0, x1);
      RunVectors<FirstGreens<Fmt, Phase>>(vectors, f, rows, x0, x1);
    } else {
      ScalarSpan<Fmt, Phase, 0, true>(f, 2, x0, x1);
    }
    for (int32_t a = 2; a <= height - 4; a += 2) {
      const bool belowInner = a + 2 <= height - 3;
      RowAround<Fmt, Phase>(f, a + 1, x0, x1);
      RowAround<Fmt, Phase>(f, a + 2, belowInner ? x0 : 1, belowInner ? x1 : 1);
      if (vectors != Vectors::kNone) {
        CopyRingGreens(f, rows, a + 1, x0, x1);
        if (belowInner)
          CopyRingGreens(f, rows, a + 2, x0, x1);
        else
          CopyGreens(f, rows, a + 2, 0, width);
        RunVectors<Pair<Fmt, Phase>>(vectors, f, rows, a, x0, x1, belowInner);
      } else {
        ScalarSpan<Fmt, Phase, 1, true>(f, a + 1, x0, x1);
        ScalarSpan<Fmt, Phase, 0, false>(f, a, x0, x1);
        if (belowInner) ScalarSpan<Fmt, Phase, 0, true>(f, a + 2, x0, x1);
        ScalarSpan<Fmt, Phase, 1, false>(f, a + 1, x0, x1);
      }
    }
  }
  BottomRow<Fmt, Phase>(f);
  return 1;
}

}  // namespace
}  // namespace imaging::interp

IMAGING_DEFINE_DEBAYER_MEMBERS(Laplacian, imaging::interp::Laplacian)
