// The portable apply loops: the loops where the processor has no vector
// code, and the vector loops' fallback (see colorcorrection_loops.h).
#include <cstring>

#include "imaging/src/colorcorrection_loops.h"

namespace imaging::cc {

// RGB24: four pixels (12 bytes) per step, written as one 8-byte and one
// 4-byte word; the four entries are looked up together and, when all are
// current (the usual case), combined without a per-pixel branch.
template <bool kShared>
void Apply24(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  for (; n >= 4; n -= 4, p += 12) {
    const uint32_t index[4] = {IndexAt(p), IndexAt(p + 3), IndexAt(p + 6), IndexAt(p + 9)};
    uint32_t e[4];
    uint32_t stale = 0;
    for (int k = 0; k < 4; ++k) {
      e[k] = LoadEntry<kShared>(c, index[k]);
      stale |= e[k] ^ stampBits;
    }
    if (stale >> 24 != 0) [[unlikely]] {
      for (int k = 0; k < 4; ++k) e[k] = Corrected<kShared>(c, stampBits, index[k]);
    }
    // The stamp bytes of e[2] and e[3] fall outside the words written.
    const uint64_t w0 =
        (e[0] & kColourMask) | uint64_t{e[1] & kColourMask} << 24 | uint64_t{e[2]} << 48;
    const uint32_t w1 = ((e[2] >> 16) & 0xFF) | e[3] << 8;
    std::memcpy(p, &w0, 8);
    std::memcpy(p + 8, &w1, 4);
  }
  for (; n > 0; --n, p += 3) {
    const uint32_t bgr = Corrected<kShared>(c, stampBits, IndexAt(p));
    p[0] = static_cast<uint8_t>(bgr);
    p[1] = static_cast<uint8_t>(bgr >> 8);
    p[2] = static_cast<uint8_t>(bgr >> 16);
  }
}

// RGB32: one word per pixel; its fourth byte is written back unchanged.
template <bool kShared>
void Apply32(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  for (; n > 0; --n, p += 4) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    w = (w & ~kColourMask) | Corrected<kShared>(c, stampBits, IndexAt(p));
    std::memcpy(p, &w, 4);
  }
}

template void Apply24<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply24<true>(ColorCorrection&, uint8_t*, size_t);
template void Apply32<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply32<true>(ColorCorrection&, uint8_t*, size_t);

}  // namespace imaging::cc
