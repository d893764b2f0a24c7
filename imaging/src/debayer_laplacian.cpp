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
// instead (see LaneRows), and write the image's pixels once, in step 2.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "imaging/src/debayer_interp_edges.h"
#include "imaging/src/debayer_interp_simd.h"

namespace imaging::interp {
namespace {

// Largest output value: 255 for 8-bit images, 65535 for 16-bit ones.
template <class Fmt>
constexpr int32_t kMax = sizeof(typename Fmt::Sample) == 1 ? 255 : 65535;

// The signed lanes of the vector loops: twice the width of a sample.
template <class Fmt>
using Lane = std::conditional_t<sizeof(typename Fmt::Sample) == 1, int16_t, int32_t>;

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

// The vector loops' own copies of the rows they read, in half-width lanes
// (16 bits for 8-bit samples, 32 for 16-bit ones), so that every operand of
// a block is one plain load, at most one lane before or after the block's:
//  - for 8-bit frames, the source rows, each split by column parity into two
//    planes (lane i of plane P is column 2i + P); eight rows, row y in slot
//    y % 8: the six a row pair reads and the two made for the next pair.
//    16-bit frames read their rows from the frame and split each block as
//    they load it: copies of theirs, in lanes twice a sample's size, would
//    not stay in the first-level cache with everything else a pair reads,
//    and cost more than the split they save (see kSplitCopies);
//  - the greens of the R and B sites of four rows (row y in slot y % 4;
//    lane i is column 2i + the row's R/B column parity): step 1 writes them,
//    step 2 reads them. Those of the edge and ring pixels are copied in from
//    the image once the shared code has made them.
// Each is written a whole row before it is read, so no load waits for a
// store still in flight, and the image's inner pixels are written once, in
// step 2.
template <class Fmt>
inline constexpr bool kSplitCopies = sizeof(typename Fmt::Sample) == 1;

template <class Fmt>
struct LaneRows {
  using L = Lane<Fmt>;
  L* split;        // 8 rows of two planes (8-bit frames)
  L* greens;       // 4 rows of one plane
  ptrdiff_t half;  // lanes per plane: half the width

  L* Plane(int32_t y, int parity) const { return split + ((y & 7) * 2 + parity) * half; }
  L* Greens(int32_t y) const { return greens + (y & 3) * half; }
  // The lanes for a frame of the given width: the green rows, after the
  // split rows where there are any, each plane and row half the width.
  static constexpr ptrdiff_t kSplitHalves = kSplitCopies<Fmt> ? 16 : 0;
  static constexpr size_t Lanes(int32_t width) {
    return static_cast<size_t>(kSplitHalves + 4) * static_cast<size_t>(width / 2);
  }
  static LaneRows In(L* store, int32_t width) {
    const ptrdiff_t half = width / 2;
    return {store, store + kSplitHalves * half, half};
  }
};

// Copies the greens of the R/B sites among columns [x0, x1) of output row y
// into its green lanes.
template <class Fmt, int Phase>
void CopyGreens(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y, int32_t x0, int32_t x1) {
  using L = Lane<Fmt>;
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  const int32_t q = ColourColumn(Phase, y & 1);
  const typename Fmt::Sample* out = f.Out(y);
  L* greens = rows.Greens(y);
  for (int32_t x = x0 + ((x0 ^ q) & 1); x < x1; x += 2) greens[x / 2] = out[x * ch + 1];
}

// The greens of the R/B sites of row y outside the inner columns [x0, x1).
template <class Fmt, int Phase>
void CopyRingGreens(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y, int32_t x0,
                    int32_t x1) {
  CopyGreens<Fmt, Phase>(f, rows, y, 0, x0);
  CopyGreens<Fmt, Phase>(f, rows, y, x1, static_cast<int32_t>(f.w));
}

IMAGING_AVX2_BEGIN

// The AVX2 steps work on a block's R or B sites in one register and its G
// sites in another (lane i: columns x + 2i and x + 2i + 1; blocks start at
// even columns). q is the parity of the R/B columns of the row, so the R/B
// sites of the rows above and below lie at parity 1 - q. A neighbour two
// columns to the side is the lane before or after, one load away.

// The source rows y - Above .. y + Below: Get(dy, P, i) loads the lanes
// i .. of parity P of row y + dy, from its split copy or (16-bit frames)
// from the frame, split on the way.
template <class Fmt, int Above, int Below>
struct Around {
  using S = typename Fmt::Sample;
  using Row = std::conditional_t<kSplitCopies<Fmt>, const Lane<Fmt>*, const S*>;
  Row rows[Above + 1 + Below][2];  // per parity: the plane, or the frame's row twice
  IMAGING_AVX2_INLINE __m256i Get(int dy, int parity, ptrdiff_t i) const {
    if constexpr (kSplitCopies<Fmt>) {
      return avx2::Load(rows[dy + Above][parity] + i);
    } else {
      const avx2::Halves halves = avx2::SLanes<S>::Split(rows[dy + Above][parity] + 2 * i);
      return parity ? halves.odd : halves.even;
    }
  }
};

template <int Above, int Below, class Fmt>
IMAGING_AVX2_INLINE Around<Fmt, Above, Below> SourceAround(const Frame<Fmt>& f,
                                                           const LaneRows<Fmt>& rows, int32_t y) {
  Around<Fmt, Above, Below> r;
  for (int dy = -Above; dy <= Below; ++dy)
    for (int parity = 0; parity < 2; ++parity)
      if constexpr (kSplitCopies<Fmt>)
        r.rows[dy + Above][parity] = rows.Plane(y + dy, parity);
      else
        r.rows[dy + Above][parity] = f.Row(y + dy);
  return r;
}

// Runs block(i) over the blocks of M lanes in [i0, i1), i1 - i0 being at
// least M. The last, partial block is made over the span's last M lanes: it
// writes some lanes again, with the same values. The loop counts lanes, so
// that every load is a base, the one index and a constant.
template <ptrdiff_t M, class Block>
IMAGING_AVX2_INLINE void EachBlock(ptrdiff_t i0, ptrdiff_t i1, Block&& block) {
  ptrdiff_t i = i0;
  for (; i + M <= i1; i += M) block(i);
  if (i < i1) block(i1 - M);
}

// Splits the block of source row src at lane i, into the row's planes even
// and odd where the frame's rows are copied, and returns it.
template <class Fmt, class L>
IMAGING_AVX2_INLINE avx2::Halves SplitBlock(const typename Fmt::Sample* src, L* even, L* odd,
                                            ptrdiff_t i) {
  const avx2::Halves halves = avx2::SLanes<typename Fmt::Sample>::Split(src + 2 * i);
  if constexpr (kSplitCopies<Fmt>) {
    avx2::Store(even + i, halves.even);
    avx2::Store(odd + i, halves.odd);
  }
  return halves;
}

// The source row y split into its planes.
template <class Fmt>
IMAGING_AVX2_INLINE void SplitRow(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y) {
  using L = Lane<Fmt>;
  if constexpr (!kSplitCopies<Fmt>) return;
  const typename Fmt::Sample* const src = f.Row(y);
  L* const even = rows.Plane(y, 0);
  L* const odd = rows.Plane(y, 1);
  EachBlock<kBlock<Fmt> / 2>(
      0, f.w / 2, [=](ptrdiff_t i) IMAGING_AVX2_LAMBDA { SplitBlock<Fmt>(src, even, odd, i); });
}

// Splits the first and the last lane of source row y, the columns that the
// blocks of an inner span leave out.
template <class Fmt>
void SplitRowEnds(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y) {
  using L = Lane<Fmt>;
  if constexpr (!kSplitCopies<Fmt>) return;
  const typename Fmt::Sample* const src = f.Row(y);
  const ptrdiff_t last = f.w / 2 - 1;
  for (int parity = 0; parity < 2; ++parity) {
    L* const plane = rows.Plane(y, parity);
    plane[0] = src[parity];
    plane[last] = src[2 * last + parity];
  }
}

// Step 1 at the block at lane i of a row of parity Py: the limited greens
// of its R/B sites. s: the source rows y - 2 .. y + 1; s2: the block's
// lanes of row y + 2 in the R/B columns of row y.
template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE __m256i GreenBlock(const Around<Fmt, 2, 1>& s, ptrdiff_t i, __m256i s2) {
  using H = avx2::SLanes<typename Fmt::Sample>;
  constexpr int q = ColourColumn(Phase, Py);
  const __m256i c = s.Get(0, q, i), w2 = s.Get(0, q, i - 1), e2 = s.Get(0, q, i + 1);
  const __m256i west = s.Get(0, 1 - q, i + q - 1), east = s.Get(0, 1 - q, i + q);
  const __m256i n = s.Get(-1, q, i), south = s.Get(1, q, i);
  const __m256i n2 = s.Get(-2, q, i);

  const __m256i c2 = H::Add(c, c);
  const __m256i dh = H::Sub(H::Sub(c2, w2), e2), dv = H::Sub(H::Sub(c2, n2), s2);
  const __m256i kh = H::Add(H::Abs(H::Sub(west, east)), H::Abs(dh));
  const __m256i kv = H::Add(H::Abs(H::Sub(n, south)), H::Abs(dv));
  const __m256i across = H::Add(west, east), along = H::Add(n, south);
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
  return H::Min(H::Max(g, _mm256_setzero_si256()), H::Splat(kMax<Fmt>));
}

// A block's output planes, packed: the colour of the row's R/B sites, G, and
// the other colour.
struct Planes {
  __m256i row, green, other;
};

// Step 2 at the block at lane i of a row of parity Py. s: the source rows
// y - 1 .. y + 1; g: the greens of their R/B sites.
template <class Fmt, int Phase, int Py, class L>
IMAGING_AVX2_INLINE Planes OtherColoursBlock(const Around<Fmt, 1, 1>& s, const L* const (&g)[3],
                                             ptrdiff_t i) {
  using H = avx2::SLanes<typename Fmt::Sample>;
  constexpr int q = ColourColumn(Phase, Py);
  auto green = [&](int dy, int k) { return avx2::Load(g[dy + 1] + i + k); };
  // Samples: this row's G sites and R/B sites, the G sites' W and E (R/B
  // sites of this row) and N and S (R/B sites of the rows beside), and the
  // R/B sites' diagonals.
  const __m256i gs = s.Get(0, 1 - q, i), c = s.Get(0, q, i);
  const __m256i west = s.Get(0, q, i - q), east = s.Get(0, q, i + 1 - q);
  const __m256i nn = s.Get(-1, 1 - q, i), ss = s.Get(1, 1 - q, i);
  const __m256i nw = s.Get(-1, 1 - q, i + q - 1), ne = s.Get(-1, 1 - q, i + q);
  const __m256i sw = s.Get(1, 1 - q, i + q - 1), se = s.Get(1, 1 - q, i + q);
  // Greens: of this row's R/B sites and those beside them, and of the R/B
  // sites above, below and on the diagonals.
  const __m256i gRow = green(0, 0), gWest = green(0, -q), gEast = green(0, 1 - q);
  const __m256i gUp = green(-1, 0), gDown = green(1, 0);
  const __m256i gNw = green(-1, q - 1), gNe = green(-1, q);
  const __m256i gSw = green(1, q - 1), gSe = green(1, q);

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

// The row functions copy what they use of the frame into locals: a byte
// store may alias anything, and would otherwise make every block reload it.

// Step 1 over columns [x0, x1) of inner row y (parity Py) into its green
// lanes. Row y + 2 is split on the way: this step reads only the block's own
// lanes of it, and the lanes beside them are read by later rows.
template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE void GreenRow(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y,
                                  int32_t x0, int32_t x1) {
  using L = Lane<Fmt>;
  constexpr int q = ColourColumn(Phase, Py);
  const Around<Fmt, 2, 1> s = SourceAround<2, 1>(f, rows, y);
  const typename Fmt::Sample* const below2 = f.Row(y + 2);
  // 16-bit frames keep no split copies (see LaneRows).
  L* const even2 = kSplitCopies<Fmt> ? rows.Plane(y + 2, 0) : nullptr;
  L* const odd2 = kSplitCopies<Fmt> ? rows.Plane(y + 2, 1) : nullptr;
  L* const greens = rows.Greens(y);
  SplitRowEnds(f, rows, y + 2);
  EachBlock<kBlock<Fmt> / 2>(x0 / 2, x1 / 2, [&](ptrdiff_t i) IMAGING_AVX2_LAMBDA {
    const avx2::Halves split2 = SplitBlock<Fmt>(below2, even2, odd2, i);
    avx2::Store(greens + i, GreenBlock<Fmt, Phase, Py>(s, i, q ? split2.odd : split2.even));
  });
}

// Step 2 over columns [x0, x1) of inner row y (parity Py), written to the
// image; the last, partial block as ForBlocks makes it.
template <class Fmt, int Phase, int Py>
IMAGING_AVX2_INLINE void OtherColoursRow(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t y,
                                         int32_t x0, int32_t x1) {
  using L = Lane<Fmt>;
  const Around<Fmt, 1, 1> s = SourceAround<1, 1>(f, rows, y);
  const L* const g[3] = {rows.Greens(y - 1), rows.Greens(y), rows.Greens(y + 1)};
  avx2::ForBlocks<Fmt>(f.Out(y), x0, x1,
                       [&](ptrdiff_t x, typename Fmt::Sample* out) IMAGING_AVX2_LAMBDA {
                         const Planes planes = OtherColoursBlock<Fmt, Phase, Py>(s, g, x >> 1);
                         avx2::StoreRowPlanes<Fmt, RowColour(Phase, Py), true>(
                             out, planes.row, planes.green, planes.other);
                       });
}

// Rows 0 .. 3 split and step 1 of row 2, the first inner-zone row.
template <class Fmt, int Phase>
struct FirstGreens {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t x0,
                                      int32_t x1) {
    for (int32_t y = 0; y <= 3; ++y) SplitRow(f, rows, y);
    GreenRow<Fmt, Phase, 0>(f, rows, 2, x0, x1);
  }
};

// Rows a (even) and a + 1 of the inner zone: step 1 of rows a + 1 and a + 2
// (when BelowInner; otherwise a + 2 is the ring row, whose greens are copied
// already), splitting rows a + 3 and a + 4, then step 2 of rows a and a + 1.
template <class Fmt, int Phase, bool BelowInner>
IMAGING_AVX2_INLINE void RowPair(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t a,
                                 int32_t x0, int32_t x1) {
  GreenRow<Fmt, Phase, 1>(f, rows, a + 1, x0, x1);
  if constexpr (BelowInner) GreenRow<Fmt, Phase, 0>(f, rows, a + 2, x0, x1);
  OtherColoursRow<Fmt, Phase, 0>(f, rows, a, x0, x1);
  OtherColoursRow<Fmt, Phase, 1>(f, rows, a + 1, x0, x1);
}

template <class Fmt, int Phase>
struct Pair {
  static IMAGING_AVX2_INLINE void Run(const Frame<Fmt>& f, const LaneRows<Fmt>& rows, int32_t a,
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
    // The vector loops need their lane rows; without the memory for them
    // (a C caller gets no exception) the portable loops do the same work.
    std::unique_ptr<Lane<Fmt>[]> laneStore;
    if (x1 - x0 >= kBlock<Fmt>)
      laneStore.reset(new (std::nothrow) Lane<Fmt>[LaneRows<Fmt>::Lanes(width)]);
    const Vectors vectors = laneStore ? ActiveVectors() : Vectors::kNone;
    const auto rows = LaneRows<Fmt>::In(laneStore.get(), width);
    if (vectors != Vectors::kNone) CopyGreens<Fmt, Phase>(f, rows, 1, 0, width);
    RowAround<Fmt, Phase>(f, 2, x0, x1);
    if (vectors != Vectors::kNone) {
      CopyRingGreens<Fmt, Phase>(f, rows, 2, x0, x1);
      RunVectors<FirstGreens<Fmt, Phase>>(vectors, f, rows, x0, x1);
    } else {
      ScalarSpan<Fmt, Phase, 0, true>(f, 2, x0, x1);
    }
    for (int32_t a = 2; a <= height - 4; a += 2) {
      const bool belowInner = a + 2 <= height - 3;
      RowAround<Fmt, Phase>(f, a + 1, x0, x1);
      RowAround<Fmt, Phase>(f, a + 2, belowInner ? x0 : 1, belowInner ? x1 : 1);
      if (vectors != Vectors::kNone) {
        CopyRingGreens<Fmt, Phase>(f, rows, a + 1, x0, x1);
        if (belowInner)
          CopyRingGreens<Fmt, Phase>(f, rows, a + 2, x0, x1);
        else
          CopyGreens<Fmt, Phase>(f, rows, a + 2, 0, width);
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
