// Shared machinery of the demosaic families that work sample by sample or
// inside one 2 x 2 filter cell at a time (Mono, Bayer, Nearest, Bin2x2 and
// Preview): the positions of the cell's four named samples for a phase,
// fixed at compile time; the size rule; and the walk over the cells with the
// pixel stores. Builds on debayer_scheme.h.
//
// Pixel stores. A pixel is packed into one machine word, channels B, G, R, 0
// from the lowest address (a u32 for 8-bit samples, a u64 for 16-bit ones).
// The 4-channel formats (8to32, 16to64) store the words as they are, in a
// loop the compiler vectorises. The 3-channel formats (8to24, 16to48) first
// compute a stretch of a row into a small buffer of words with that same
// loop, then write the buffer without the fourth channels, exactly 3 channels
// per pixel: 8to24 by PackPixels8to24 (SSSE3 byte shuffles where the
// processor has them, else a plain loop), 16to48 by StoreSixByteItems (SSE2,
// part of the x86-64 baseline). The auto-vectoriser does not do 3-channel
// interleaving on the baseline; it matters because a 1080p image is written
// beyond the L2 cache and the number of stores bounds the speed.
#ifndef IMAGING_DEBAYER_CELL_WALK_H
#define IMAGING_DEBAYER_CELL_WALK_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "imaging/src/debayer_scheme.h"

namespace imaging {

static_assert(std::endian::native == std::endian::little,
              "pixel words are stored channel B first: a little-endian host");

// Positions inside the cell: 0 = top left, 1 = top right, 2 = bottom left,
// 3 = bottom right (letter 2 * row + column of the phase name).
template <int Phase>
struct CellLayout {
  static constexpr int Find(Colour colour, int firstRow, int lastRow) {
    for (int row = firstRow; row <= lastRow; ++row)
      for (int col = 0; col < 2; ++col)
        if (PhaseColour(Phase, col, row) == colour) return 2 * row + col;
    return -1;
  }
  static constexpr int kR = Find(kRed, 0, 1);
  static constexpr int kB = Find(kBlue, 0, 1);
  static constexpr int kGt = Find(kGreen, 0, 0);  // the green of the top row
  static constexpr int kGb = Find(kGreen, 1, 1);  // the green of the bottom row
  static_assert(kR >= 0 && kB >= 0 && kGt >= 0 && kGb >= 0, "every row of a cell holds one G");
  // Colour of each cell position.
  static constexpr Colour kColour[4] = {PhaseColour(Phase, 0, 0), PhaseColour(Phase, 1, 0),
                                        PhaseColour(Phase, 0, 1), PhaseColour(Phase, 1, 1)};
};

// Size rule shared by the cell families: an odd width or height is refused
// (0); otherwise the call is done (1), and there is something to write only
// when both are positive.
enum class CellSizes { kRefused, kEmpty, kCells };
inline CellSizes ClassifyCellSizes(int32_t width, int32_t height) {
  if ((width & 1) != 0 || (height & 1) != 0) return CellSizes::kRefused;
  if (width <= 0 || height <= 0) return CellSizes::kEmpty;
  return CellSizes::kCells;
}

// The word holding one pixel of format Fmt.
template <class Fmt>
using PixelWord = std::conditional_t<sizeof(typename Fmt::Sample) == 1, uint32_t, uint64_t>;

// B, G, R (and 0) packed from the lowest address up. Channel values are below
// 2^(8 * sizeof(Sample)).
template <class Fmt>
inline PixelWord<Fmt> PackPixel(uint32_t r, uint32_t g, uint32_t b) {
  using W = PixelWord<Fmt>;
  constexpr int kBits = 8 * sizeof(typename Fmt::Sample);
  return static_cast<W>(b) | (static_cast<W>(g) << kBits) | (static_cast<W>(r) << (2 * kBits));
}

namespace detail {
// Stores n 6-byte items held in the low bytes of 64-bit words (top two bytes
// 0), back to back from out, writing exactly 6n bytes: the 16to48 pixels.
// The scalar form uses one 8-byte store per item at a 6-byte stride, each
// store's last two bytes overwritten by the next item and the last item
// stored exactly; the SSE2 form joins eight items into three 16-byte stores.
void StoreSixByteItemsScalar(const uint64_t* items, ptrdiff_t n, void* out);
void StoreSixByteItems(const uint64_t* items, ptrdiff_t n, void* out);

// Writes n 8-bit pixel words as n 3-byte pixels (B, G, R), exactly 3n bytes.
// The SSSE3 form packs sixteen pixels into three 16-byte stores.
void PackPixels8to24Scalar(const uint32_t* words, ptrdiff_t n, uint8_t* out);
void PackPixels8to24Ssse3(const uint32_t* words, ptrdiff_t n, uint8_t* out);  // needs SSSE3
void PackPixels8to24(const uint32_t* words, ptrdiff_t n, uint8_t* out);       // chooses
}  // namespace detail

// Writes n pixel words as n pixels of format Fmt.
template <class Fmt>
inline void WritePixels(const PixelWord<Fmt>* __restrict words, ptrdiff_t n,
                        typename Fmt::Sample* __restrict out) {
  if constexpr (Fmt::kChannels == 4)
    std::memcpy(out, words, static_cast<size_t>(n) * sizeof(PixelWord<Fmt>));
  else if constexpr (sizeof(typename Fmt::Sample) == 1)
    detail::PackPixels8to24(words, n, out);
  else
    detail::StoreSixByteItems(words, n, out);
}

// Pixels go through a buffer of this many words (a few KiB, in L1).
inline constexpr ptrdiff_t kPixelRun = 512;

// Writes `count` pixels of one image row, pixel(i) giving the word of pixel i.
template <class Fmt, class PixelOf>
inline void StoreRow(typename Fmt::Sample* __restrict out, ptrdiff_t count, PixelOf pixel) {
  constexpr int C = Fmt::kChannels;
  if constexpr (C == 4) {
    for (ptrdiff_t i = 0; i < count; ++i) {
      const PixelWord<Fmt> word = pixel(i);
      std::memcpy(out + i * C, &word, sizeof word);
    }
  } else {
    PixelWord<Fmt> words[kPixelRun];
    for (ptrdiff_t start = 0; start < count; start += kPixelRun) {
      const ptrdiff_t n = count - start < kPixelRun ? count - start : kPixelRun;
      for (ptrdiff_t i = 0; i < n; ++i) words[i] = pixel(start + i);
      WritePixels<Fmt>(words, n, out + start * C);
    }
  }
}

// The four pixels of one cell.
template <class Fmt>
struct CellPixels {
  PixelWord<Fmt> topLeft, topRight, bottomLeft, bottomRight;
};

// Walks the cells of a full-size image, row pair by row pair from the top,
// left to right: cell(s) gets the cell's samples s[0..3] (top left, top
// right, bottom left, bottom right, widened to u32) and returns its four
// pixels. Width and height are positive and even.
template <class Fmt, class Cell>
inline void WalkCellsFullSize(const typename Fmt::Sample* __restrict src, int32_t width,
                              int32_t height, typename Fmt::Sample* __restrict dst, Cell cell) {
  constexpr int C = Fmt::kChannels;
  using Word = PixelWord<Fmt>;
  const ptrdiff_t w = width;
  const ptrdiff_t cells = w / 2;
  for (int32_t y = 0; y < height; y += 2) {
    const typename Fmt::Sample* __restrict top = src + y * w;
    const typename Fmt::Sample* __restrict bottom = top + w;
    typename Fmt::Sample* __restrict outTop = dst + y * w * C;
    typename Fmt::Sample* __restrict outBottom = outTop + w * C;
    if constexpr (C == 4) {
      for (ptrdiff_t cx = 0; cx < cells; ++cx) {
        const uint32_t s[4] = {top[2 * cx], top[2 * cx + 1], bottom[2 * cx], bottom[2 * cx + 1]};
        const CellPixels<Fmt> p = cell(s);
        std::memcpy(outTop + 2 * cx * C, &p.topLeft, sizeof(Word));
        std::memcpy(outTop + (2 * cx + 1) * C, &p.topRight, sizeof(Word));
        std::memcpy(outBottom + 2 * cx * C, &p.bottomLeft, sizeof(Word));
        std::memcpy(outBottom + (2 * cx + 1) * C, &p.bottomRight, sizeof(Word));
      }
    } else {
      constexpr ptrdiff_t kRunCells = kPixelRun / 2;
      Word topWords[kPixelRun], bottomWords[kPixelRun];
      for (ptrdiff_t start = 0; start < cells; start += kRunCells) {
        const ptrdiff_t n = cells - start < kRunCells ? cells - start : kRunCells;
        for (ptrdiff_t j = 0; j < n; ++j) {
          const ptrdiff_t cx = start + j;
          const uint32_t s[4] = {top[2 * cx], top[2 * cx + 1], bottom[2 * cx], bottom[2 * cx + 1]};
          const CellPixels<Fmt> p = cell(s);
          topWords[2 * j] = p.topLeft;
          topWords[2 * j + 1] = p.topRight;
          bottomWords[2 * j] = p.bottomLeft;
          bottomWords[2 * j + 1] = p.bottomRight;
        }
        WritePixels<Fmt>(topWords, 2 * n, outTop + 2 * start * C);
        WritePixels<Fmt>(bottomWords, 2 * n, outBottom + 2 * start * C);
      }
    }
  }
}

// Walks the cells as above for a half-size image: cell(s) returns the one
// pixel of the cell, at column cx and row cy of an image width / 2 pixels wide.
template <class Fmt, class Cell>
inline void WalkCellsHalfSize(const typename Fmt::Sample* __restrict src, int32_t width,
                              int32_t height, typename Fmt::Sample* __restrict dst, Cell cell) {
  constexpr int C = Fmt::kChannels;
  const ptrdiff_t w = width;
  const ptrdiff_t cells = w / 2;
  for (int32_t cy = 0; cy < height / 2; ++cy) {
    const typename Fmt::Sample* __restrict top = src + 2 * cy * w;
    const typename Fmt::Sample* __restrict bottom = top + w;
    StoreRow<Fmt>(dst + cy * cells * C, cells, [&](ptrdiff_t cx) {
      const uint32_t s[4] = {top[2 * cx], top[2 * cx + 1], bottom[2 * cx], bottom[2 * cx + 1]};
      return cell(s);
    });
  }
}

}  // namespace imaging

#endif
