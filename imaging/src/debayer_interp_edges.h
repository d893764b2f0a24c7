// Shared pieces of the three interpolating demosaic families (bilinear,
// adaptive, Laplacian): the size rule, the neighbour means that all three use
// on the image edges and on the ring one pixel inside them, and the row
// walkers that write those pixels. Each family adds its own inner loop.
//
// Every rule here is a mean of the nearest samples of the missing colour that
// lie inside the image:
//  - G at an R or B site: N, W, E, S (>> 2 inside, / 3 on an edge, >> 1 at a
//    corner);
//  - R or B at a G site: W and E give the colour of the G site's row, N and S
//    the other one; (a + b) >> 1, or the one inside;
//  - the diagonal colour of an R or B site: (NW + SW + 2 NE) >> 2 inside (NE
//    weighs twice and SE is never read, the established behaviour of these
//    families), the two diagonals inside on an edge, the one at a corner.
// Which neighbours exist is a template argument, so no pixel tests its place.
#ifndef IMAGING_DEBAYER_INTERP_EDGES_H
#define IMAGING_DEBAYER_INTERP_EDGES_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "imaging/src/debayer_scheme.h"

namespace imaging::interp {

// The interpolating families accept even sizes of at least 4 both ways.
constexpr bool Accepted(int32_t width, int32_t height) {
  return width >= 4 && height >= 4 && width % 2 == 0 && height % 2 == 0;
}

// Neighbours of a pixel that lie inside the image.
enum Inside : unsigned { kN = 1, kS = 2, kW = 4, kE = 8, kAll = 15 };

// Colour of the R or B samples in row parity py (the row colour of its G sites).
constexpr Colour RowColour(int phase, int py) {
  return PhaseColour(phase, 0, py) == kGreen ? PhaseColour(phase, 1, py)
                                             : PhaseColour(phase, 0, py);
}

// Parity of the columns that hold R or B samples in row parity py.
constexpr int ColourColumn(int phase, int py) {
  return PhaseColour(phase, 0, py) == kGreen ? 1 : 0;
}

// Writes one channel triple, the site's own colour placed by its colour.
template <class Fmt>
inline void StoreSite(typename Fmt::Sample* d, Colour own, uint32_t ownValue, uint32_t g,
                      uint32_t other) {
  if (own == kRed)
    StorePixel<Fmt>(d, ownValue, g, other);
  else
    StorePixel<Fmt>(d, other, g, ownValue);
}

// Writes a G site of row parity Py: its sample, the colour of its row (from
// W and E) and the colour of its column (from N and S).
template <class Fmt, int Phase, int Py>
inline void StoreGreenSite(typename Fmt::Sample* d, uint32_t g, uint32_t across, uint32_t along) {
  if constexpr (RowColour(Phase, Py) == kRed)
    StorePixel<Fmt>(d, across, g, along);
  else
    StorePixel<Fmt>(d, along, g, across);
}

// Mean of two opposite neighbours at offsets a and b, or the one inside.
template <bool HasA, bool HasB, class S>
inline uint32_t PairMean(const S* p, ptrdiff_t a, ptrdiff_t b) {
  static_assert(HasA || HasB);
  if constexpr (HasA && HasB)
    return (uint32_t{p[a]} + p[b]) >> 1;
  else if constexpr (HasA)
    return p[a];
  else
    return p[b];
}

// The neighbour-mean rules for the pixel at p (column parity Px, row parity
// Py, neighbours In inside), written to d. w is the row length in samples.
template <class Fmt, int Phase, int Px, int Py, unsigned In>
inline void MeanPixel(const typename Fmt::Sample* __restrict p, ptrdiff_t w,
                      typename Fmt::Sample* __restrict d) {
  constexpr Colour site = PhaseColour(Phase, Px, Py);
  constexpr bool n = In & kN, s = In & kS, west = In & kW, e = In & kE;
  if constexpr (site == kGreen) {
    StoreGreenSite<Fmt, Phase, Py>(d, p[0], PairMean<west, e>(p, -1, 1), PairMean<n, s>(p, -w, w));
  } else {
    uint32_t sum = 0;
    if constexpr (n) sum += p[-w];
    if constexpr (west) sum += p[-1];
    if constexpr (e) sum += p[1];
    if constexpr (s) sum += p[w];
    constexpr int count = std::popcount(In);
    const uint32_t g = count == 4 ? sum >> 2 : count == 3 ? sum / 3 : sum >> 1;

    const ptrdiff_t nw = -w - 1, ne = -w + 1, sw = w - 1, se = w + 1;
    uint32_t diag;
    if constexpr (count == 4)
      diag = (uint32_t{p[nw]} + p[sw] + 2 * uint32_t{p[ne]}) >> 2;
    else if constexpr (count == 3)  // the two diagonals on the inner side
      diag = !n      ? (uint32_t{p[sw]} + p[se]) >> 1
             : !s    ? (uint32_t{p[nw]} + p[ne]) >> 1
             : !west ? (uint32_t{p[ne]} + p[se]) >> 1
                     : (uint32_t{p[nw]} + p[sw]) >> 1;
    else  // corner: the one diagonal inside
      diag = p[(n ? -w : w) + (west ? -1 : 1)];
    StoreSite<Fmt>(d, site, p[0], g, diag);
  }
}

// Interior rule (all four neighbours inside) for columns [x0, x1) of a row of
// parity Py; row and drow point at column 0 of the source and output row.
template <class Fmt, int Phase, int Py>
void InteriorSpan(const typename Fmt::Sample* __restrict row, ptrdiff_t w,
                  typename Fmt::Sample* __restrict drow, int32_t x0, int32_t x1) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  int32_t x = x0;
  if (x < x1 && (x & 1)) {
    MeanPixel<Fmt, Phase, 1, Py, kAll>(row + x, w, drow + x * ch);
    ++x;
  }
  for (; x + 1 < x1; x += 2) {
    MeanPixel<Fmt, Phase, 0, Py, kAll>(row + x, w, drow + x * ch);
    MeanPixel<Fmt, Phase, 1, Py, kAll>(row + x + 1, w, drow + (x + 1) * ch);
  }
  if (x < x1) MeanPixel<Fmt, Phase, 0, Py, kAll>(row + x, w, drow + x * ch);
}

// Row 0 (Py 0, no N) or row height-1 (Py 1, no S), corners included.
template <class Fmt, int Phase, int Py>
void EdgeRow(const typename Fmt::Sample* __restrict row, ptrdiff_t w,
             typename Fmt::Sample* __restrict drow) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  constexpr unsigned in = Py == 0 ? kAll & ~kN : kAll & ~kS;
  MeanPixel<Fmt, Phase, 0, Py, in & ~kW>(row, w, drow);
  for (ptrdiff_t x = 1; x + 1 < w; x += 2) {
    MeanPixel<Fmt, Phase, 1, Py, in>(row + x, w, drow + x * ch);
    MeanPixel<Fmt, Phase, 0, Py, in>(row + x + 1, w, drow + (x + 1) * ch);
  }
  MeanPixel<Fmt, Phase, 1, Py, in & ~kE>(row + w - 1, w, drow + (w - 1) * ch);
}

template <class Fmt, int Phase, int Py>
void RowAroundParity(const typename Fmt::Sample* row, ptrdiff_t w, typename Fmt::Sample* drow,
                     int32_t x0, int32_t x1) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  MeanPixel<Fmt, Phase, 0, Py, kAll & ~kW>(row, w, drow);
  InteriorSpan<Fmt, Phase, Py>(row, w, drow, 1, x0);
  InteriorSpan<Fmt, Phase, Py>(row, w, drow, x1, static_cast<int32_t>(w - 1));
  MeanPixel<Fmt, Phase, 1, Py, kAll & ~kE>(row + w - 1, w, drow + (w - 1) * ch);
}

// The frame and its image, as every family walks them.
template <class Fmt>
struct Frame {
  using Sample = typename Fmt::Sample;
  static constexpr int kChannels = Fmt::kChannels;
  const Sample* src;
  ptrdiff_t w;
  int32_t h;
  Sample* dst;

  const Sample* Row(int32_t y) const { return src + y * w; }
  Sample* Out(int32_t y) const { return dst + y * w * kChannels; }
};

// Calls pixel.template operator()<Px>(p, w, d) for columns [x0, x1) of row
// y (x0 and x1 even), p and d pointing at the column's sample and output
// pixel and Px being its column parity.
template <class Fmt, class Pixel>
inline void EvenSpan(const Frame<Fmt>& f, int32_t y, int32_t x0, int32_t x1, Pixel&& pixel) {
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  const typename Fmt::Sample* __restrict row = f.Row(y);
  typename Fmt::Sample* __restrict drow = f.Out(y);
  const ptrdiff_t w = f.w;
  for (int32_t x = x0; x < x1; x += 2) {
    pixel.template operator()<0>(row + x, w, drow + x * ch);
    pixel.template operator()<1>(row + x + 1, w, drow + (x + 1) * ch);
  }
}

// Writes the pixels of row y (1 <= y <= height-2) outside columns [x0, x1):
// the two edge pixels, and the interior rule for the columns between them and
// [x0, x1). With x0 == x1 the whole row is written.
template <class Fmt, int Phase>
void RowAround(const Frame<Fmt>& f, int32_t y, int32_t x0, int32_t x1) {
  if (y & 1)
    RowAroundParity<Fmt, Phase, 1>(f.Row(y), f.w, f.Out(y), x0, x1);
  else
    RowAroundParity<Fmt, Phase, 0>(f.Row(y), f.w, f.Out(y), x0, x1);
}

template <class Fmt, int Phase>
void TopRow(const Frame<Fmt>& f) {
  EdgeRow<Fmt, Phase, 0>(f.Row(0), f.w, f.Out(0));
}

template <class Fmt, int Phase>
void BottomRow(const Frame<Fmt>& f) {
  EdgeRow<Fmt, Phase, 1>(f.Row(f.h - 1), f.w, f.Out(f.h - 1));
}

// Walks a frame whose inner loop covers columns and rows margin .. size-1-margin
// (1 for the bilinear family, 2 for the others): row 0, then each row with its
// edge (and ring) pixels and inner span, then the bottom row.
// inner(y, x0, x1) writes columns [x0, x1) of row y.
template <class Fmt, int Phase, class Inner>
int32_t WalkRows(const Frame<Fmt>& f, int32_t margin, Inner inner) {
  const int32_t w = static_cast<int32_t>(f.w);
  TopRow<Fmt, Phase>(f);
  for (int32_t y = 1; y < f.h - 1; ++y) {
    const bool inZone = y >= margin && y < f.h - margin && margin < w - margin;
    const int32_t x0 = inZone ? margin : w - 1;
    const int32_t x1 = inZone ? w - margin : w - 1;
    RowAround<Fmt, Phase>(f, y, x0, x1);
    if (inZone) inner(y, x0, x1);
  }
  BottomRow<Fmt, Phase>(f);
  return 1;
}

// Calls f.template operator()<Py>() with the parity of y as a constant.
template <class F>
inline void WithRowParity(int32_t y, F&& f) {
  if (y & 1)
    f.template operator()<1>();
  else
    f.template operator()<0>();
}

}  // namespace imaging::interp

#endif
