// Writing pixel words without their fourth channel (see debayer_cell_walk.h):
// StoreSixByteItems for the 16to48 pixels, PackPixels8to24 for 8to24.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "imaging/src/cpu_features.h"
#include "imaging/src/debayer_cell_walk.h"

namespace imaging::detail {

static_assert(std::endian::native == std::endian::little, "items: first byte lowest");

void StoreSixByteItemsScalar(const uint64_t* __restrict items, ptrdiff_t n, void* __restrict out) {
  uint8_t* __restrict bytes = static_cast<uint8_t*>(out);
  if (n <= 0) return;
  for (ptrdiff_t i = 0; i + 1 < n; ++i) std::memcpy(bytes + 6 * i, &items[i], 8);
  std::memcpy(bytes + 6 * (n - 1), &items[n - 1], 6);
}

#if defined(__SSE2__)

namespace {

// Two items [a (6 bytes) 0 0 | b (6 bytes) 0 0] -> a b in bytes 0-11, 0 above.
inline __m128i JoinTwo(__m128i v) {
  const __m128i firstItem = _mm_setr_epi16(-1, -1, -1, 0, 0, 0, 0, 0);
  // Shifted down two bytes, b lands on bytes 6-11 (its two zero bytes on 12-13).
  return _mm_or_si128(_mm_and_si128(v, firstItem),
                      _mm_andnot_si128(firstItem, _mm_srli_si128(v, 2)));
}

}  // namespace

void StoreSixByteItems(const uint64_t* __restrict items, ptrdiff_t n, void* __restrict out) {
  uint8_t* __restrict bytes = static_cast<uint8_t*>(out);
  ptrdiff_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i a = JoinTwo(_mm_loadu_si128(reinterpret_cast<const __m128i*>(items + i)));
    const __m128i b = JoinTwo(_mm_loadu_si128(reinterpret_cast<const __m128i*>(items + i + 2)));
    const __m128i c = JoinTwo(_mm_loadu_si128(reinterpret_cast<const __m128i*>(items + i + 4)));
    const __m128i d = JoinTwo(_mm_loadu_si128(reinterpret_cast<const __m128i*>(items + i + 6)));
    // 4 x 12 bytes -> 3 x 16 bytes.
    uint8_t* o = bytes + 6 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(a, _mm_slli_si128(b, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                     _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32),
                     _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  StoreSixByteItemsScalar(items + i, n - i, bytes + 6 * i);
}

#else

void StoreSixByteItems(const uint64_t* items, ptrdiff_t n, void* out) {
  StoreSixByteItemsScalar(items, n, out);
}

#endif

void PackPixels8to24Scalar(const uint32_t* __restrict words, ptrdiff_t n, uint8_t* __restrict out) {
  for (ptrdiff_t i = 0; i < n; ++i) std::memcpy(out + 3 * i, &words[i], 3);
}

#if defined(__SSE2__)

namespace {

// Shuffle masks: output vector o (stream bytes 16o .. 16o + 15) takes byte
// 16o + b from input vector v when that byte is channel c < 3 of pixel k =
// (16o + b) / 3 and k / 4 == v; the source byte is 4 (k mod 4) + c. Other
// bytes get 0x80 (zero), so the two shuffles of an output vector are OR-ed.
struct ShuffleMasks {
  alignas(16) uint8_t m[3][4][16];
};
constexpr ShuffleMasks BuildShuffleMasks() {
  ShuffleMasks s{};
  for (int o = 0; o < 3; ++o)
    for (int v = 0; v < 4; ++v)
      for (int b = 0; b < 16; ++b) {
        const int t = 16 * o + b, k = t / 3, c = t % 3;
        s.m[o][v][b] = k / 4 == v ? static_cast<uint8_t>(4 * (k % 4) + c) : 0x80;
      }
  return s;
}
constexpr ShuffleMasks kShuffle = BuildShuffleMasks();

inline __m128i Mask(int o, int v) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.m[o][v]));
}

}  // namespace

__attribute__((target("ssse3"))) void PackPixels8to24Ssse3(const uint32_t* __restrict words,
                                                           ptrdiff_t n, uint8_t* __restrict out) {
  const __m128i m00 = Mask(0, 0), m01 = Mask(0, 1), m11 = Mask(1, 1), m12 = Mask(1, 2);
  const __m128i m22 = Mask(2, 2), m23 = Mask(2, 3);
  ptrdiff_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i + 4));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i + 8));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i + 12));
    uint8_t* o = out + 3 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                     _mm_or_si128(_mm_shuffle_epi8(v0, m00), _mm_shuffle_epi8(v1, m01)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                     _mm_or_si128(_mm_shuffle_epi8(v1, m11), _mm_shuffle_epi8(v2, m12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32),
                     _mm_or_si128(_mm_shuffle_epi8(v2, m22), _mm_shuffle_epi8(v3, m23)));
  }
  PackPixels8to24Scalar(words + i, n - i, out + 3 * i);
}

void PackPixels8to24(const uint32_t* __restrict words, ptrdiff_t n, uint8_t* __restrict out) {
  if (cpu::HasSsse3())
    PackPixels8to24Ssse3(words, n, out);
  else
    PackPixels8to24Scalar(words, n, out);
}

#else

void PackPixels8to24Ssse3(const uint32_t* words, ptrdiff_t n, uint8_t* out) {
  PackPixels8to24Scalar(words, n, out);
}
void PackPixels8to24(const uint32_t* words, ptrdiff_t n, uint8_t* out) {
  PackPixels8to24Scalar(words, n, out);
}

#endif

}  // namespace imaging::detail
