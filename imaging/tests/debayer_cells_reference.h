// A straightforward per-pixel formulation of the Mono, Bayer, Nearest,
// Bin2x2 and Preview demosaic families, written from
// the phase names, for comparison with the library's per-family loops.
#ifndef IMAGING_TESTS_DEBAYER_CELLS_REFERENCE_H
#define IMAGING_TESTS_DEBAYER_CELLS_REFERENCE_H

#include <cstdint>
#include <vector>

#include "imaging/tests/raw_test_support.h"

namespace rawtest {

struct Rgb {
  uint32_t r, g, b;
};

// The sample of colour `want` in the cell holding (x, y), looking in rows
// firstRow..lastRow of the cell (0 = top).
inline uint32_t CellSample(const std::vector<uint32_t>& f, int w, int phase, int x, int y,
                           char want, int firstRow, int lastRow) {
  const int x0 = x - x % 2, y0 = y - y % 2;
  for (int dy = firstRow; dy <= lastRow; ++dy)
    for (int dx = 0; dx < 2; ++dx)
      if (ColourAt(phase, x0 + dx, y0 + dy) == want) return f[(y0 + dy) * w + x0 + dx];
  return 0xDEADBEEF;
}

// family: 0 Mono, 1 Bayer, 2 Nearest, 3 Bin2x2, 7 Preview; (x, y) is a pixel
// of the output image (for Preview a cell).
inline Rgb ReferencePixel(int family, const std::vector<uint32_t>& f, int w, int phase, int x,
                          int y) {
  switch (family) {
    case 0: {
      const uint32_t s = f[y * w + x];
      return {s, s, s};
    }
    case 1: {
      const uint32_t s = f[y * w + x];
      const char c = ColourAt(phase, x, y);
      return {c == 'R' ? s : 0, c == 'G' ? s : 0, c == 'B' ? s : 0};
    }
    case 2: {
      const int row = y % 2;  // the green of the pixel's own row
      return {CellSample(f, w, phase, x, y, 'R', 0, 1),
              CellSample(f, w, phase, x, y, 'G', row, row),
              CellSample(f, w, phase, x, y, 'B', 0, 1)};
    }
    case 3:
    case 7: {
      const int px = family == 7 ? 2 * x : x, py = family == 7 ? 2 * y : y;
      const uint64_t gt = CellSample(f, w, phase, px, py, 'G', 0, 0);
      const uint64_t gb = CellSample(f, w, phase, px, py, 'G', 1, 1);
      return {CellSample(f, w, phase, px, py, 'R', 0, 1), static_cast<uint32_t>((gt + gb) / 2),
              CellSample(f, w, phase, px, py, 'B', 0, 1)};
    }
  }
  return {0, 0, 0};
}

}  // namespace rawtest

#endif
