// Display pixels: grey samples and B, G, R pixels widened to the opaque
// 32-bit pixels a screen image holds (see imaging/pixelutil.h).
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "imaging/pixelutil.h"
#include "imaging/src/cpu_features.h"

namespace {

constexpr uint32_t kOpaque = 0xff000000u;

// Opaque grey for every sample value: the display palette as 32-bit pixels.
struct GreyTable {
  uint32_t pixel[256];
};
constexpr GreyTable MakeGreyTable() {
  GreyTable t{};
  for (uint32_t i = 0; i < 256; ++i) t.pixel[i] = kOpaque | (i * 0x010101u);
  return t;
}
constexpr GreyTable kGreyPixels = MakeGreyTable();

#if defined(__SSE2__)

// Four pixels per step: one 16-byte load (12 bytes used), one byte shuffle
// into B, G, R, 0 words and the opaque alpha ORed in. Needs 16 readable bytes
// at each step, so the caller leaves the last pixels to the plain loop.
// Returns the pixels done.
__attribute__((target("ssse3"))) int64_t ConvertBGR24ToRGB32Ssse3(const uint8_t* bgr, uint32_t* dst,
                                                                  int64_t count) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaque));
  int64_t i = 0;
  for (; i + 6 <= count; i += 4) {  // bytes 3i .. 3i + 15 lie inside 3 * count
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_or_si128(_mm_shuffle_epi8(v, shuffle), alpha));
  }
  return i;
}

// Sixteen grey samples per step, each spread to B = G = R with opaque alpha.
__attribute__((target("ssse3"))) int64_t ConvertGreyToRGB32Ssse3(const uint8_t* grey, uint32_t* dst,
                                                                 int64_t count) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaque));
  const __m128i spread[4] = {
      _mm_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1),
      _mm_setr_epi8(4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1),
      _mm_setr_epi8(8, 8, 8, -1, 9, 9, 9, -1, 10, 10, 10, -1, 11, 11, 11, -1),
      _mm_setr_epi8(12, 12, 12, -1, 13, 13, 13, -1, 14, 14, 14, -1, 15, 15, 15, -1)};
  int64_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + i));
    for (int k = 0; k < 4; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4 * k),
                       _mm_or_si128(_mm_shuffle_epi8(v, spread[k]), alpha));
  }
  return i;
}

#else

int64_t ConvertBGR24ToRGB32Ssse3(const uint8_t*, uint32_t*, int64_t) { return 0; }
int64_t ConvertGreyToRGB32Ssse3(const uint8_t*, uint32_t*, int64_t) { return 0; }

#endif

}  // namespace

extern "C" {

void ConvertGreyToRGB32(const uint8_t* grey, uint32_t* dst, int64_t count) {
  int64_t i = imaging::cpu::HasSsse3() && count > 0 ? ConvertGreyToRGB32Ssse3(grey, dst, count) : 0;
  for (; i < count; ++i) dst[i] = kGreyPixels.pixel[grey[i]];
}

void ConvertBGR24ToRGB32(const uint8_t* bgr, uint32_t* dst, int64_t count) {
  if (count <= 0) return;
  int64_t i = imaging::cpu::HasSsse3() ? ConvertBGR24ToRGB32Ssse3(bgr, dst, count) : 0;
  // Read four bytes per pixel (its B, G, R and the next pixel's B) and force
  // the fourth to 0xff; the last pixel is read byte by byte so that nothing
  // beyond the source is touched.
  for (; i + 1 < count; ++i) {
    uint32_t v;
    std::memcpy(&v, bgr + 3 * i, 4);
    dst[i] = v | kOpaque;
  }
  const uint8_t* p = bgr + 3 * i;
  dst[i] = kOpaque | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

}  // extern "C"
