// The AVX2 apply loops: eight pixels a step (see colorcorrection_simd.h).
// The whole file is compiled for AVX2; it is reached only where the
// processor has it.
#include "imaging/src/colorcorrection_simd.h"

namespace imaging::cc {
namespace {

// Byte k of each 16-byte lane of the result: G, R, B of pixel k / 4 of the
// lane (bytes step * (k / 4) + 1, + 2, + 0 of the lane), then zero.
template <int kStep>
inline __m256i LaneIndexShuffle() {
  alignas(32) int8_t bytes[32];
  static constexpr int kOrder[4] = {1, 2, 0, -1};
  for (int k = 0; k < 32; ++k) {
    const int j = k % 16;
    bytes[k] =
        kOrder[j % 4] < 0 ? int8_t{-128} : static_cast<int8_t>(kStep * (j / 4) + kOrder[j % 4]);
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// The bytes B, G, R of each of four entries, packed into the first 12 bytes.
inline __m128i PackEntries4(__m128i entries) {
  return _mm_shuffle_epi8(entries,
                          _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

// CubeIndex of eight keys.
inline __m256i CubeIndices(__m256i key) {
  using Keys = uint32_t __attribute__((vector_size(32)));
  Keys keys = reinterpret_cast<Keys>(key);
  ToCubeIndex(keys);
  return reinterpret_cast<__m256i>(keys);
}

// The cube indices of the eight RGB24 pixels at p, stored to index; reads
// 32 bytes, the last 8 of them beyond the step's 24.
inline void MakeIndices24(__m256i shuffle, const uint8_t* p, uint32_t* index) {
  // Words 0-2 (pixels 0-3) to the low lane, words 3-5 (pixels 4-7) to the high.
  const __m256i toLanes = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  _mm256_store_si256(
      reinterpret_cast<__m256i*>(index),
      CubeIndices(_mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(pixels, toLanes), shuffle)));
}

}  // namespace

template <bool kShared>
void Apply24Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  // Steps whose 32-byte read stays inside the n pixels.
  const size_t steps = n >= 11 ? (n - 11) / 8 + 1 : 0;
  const __m256i shuffle = LaneIndexShuffle<3>();
  alignas(32) uint32_t ring[kIndexRing][8];
  const auto make = [&](size_t s) { MakeIndices24(shuffle, p + 24 * s, ring[s % kIndexRing]); };
  // As in the AVX-512 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) {
    const __m128i stamps = _mm_set1_epi32(static_cast<int>(stampBits));
    const __m128i stampBytes = _mm_set1_epi32(static_cast<int>(~kColourMask));
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const uint32_t* index = ring[s % kIndexRing];
      const __m128i low = Entries4(c, index), high = Entries4(c, index + 4);
      const __m128i differ = _mm_or_si128(_mm_xor_si128(low, stamps), _mm_xor_si128(high, stamps));
      if (!_mm_testz_si128(differ, stampBytes)) break;
      // Twelve bytes each; the first store's four spare bytes are overwritten
      // by the second, the second's by the next step (whose pixels were read
      // already), except at the last step.
      uint8_t* q = p + 24 * s;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q), PackEntries4(low));
      const __m128i packed = PackEntries4(high);
      if (s + 1 < steps) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 12), packed);
      } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 12), packed);
        const uint32_t last = static_cast<uint32_t>(_mm_extract_epi32(packed, 2));
        std::memcpy(q + 20, &last, 4);
      }
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) {
    ServeInOrder24<kShared>(c, stampBits, ring[s % kIndexRing], p + 24 * s, 8);
  });
  Apply24<kShared>(c, p + 24 * steps, n - 8 * steps);
}

// RGB32: the pixels are read again at their step for their fourth bytes.
template <bool kShared>
void Apply32Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const size_t steps = n / 8;
  const __m256i shuffle = LaneIndexShuffle<4>();
  alignas(32) uint32_t ring[kIndexRing][8];
  const auto make = [&](size_t s) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * s));
    _mm256_store_si256(reinterpret_cast<__m256i*>(ring[s % kIndexRing]),
                       CubeIndices(_mm256_shuffle_epi8(pixels, shuffle)));
  };
  // As in the RGB24 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) {
    const __m256i stamps = _mm256_set1_epi32(static_cast<int>(stampBits));
    const __m256i colourBytes = _mm256_set1_epi32(static_cast<int>(kColourMask));
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const uint32_t* index = ring[s % kIndexRing];
      const __m256i entries = _mm256_inserti128_si256(_mm256_castsi128_si256(Entries4(c, index)),
                                                      Entries4(c, index + 4), 1);
      if (!_mm256_testz_si256(_mm256_xor_si256(entries, stamps),
                              _mm256_xor_si256(colourBytes, _mm256_set1_epi32(-1))))
        break;
      // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
      auto* q = reinterpret_cast<__m256i*>(p + 32 * s);
      _mm256_storeu_si256(q, _mm256_blendv_epi8(_mm256_loadu_si256(q), entries, colourBytes));
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) { Apply32<kShared>(c, p + 32 * s, 8); });
  Apply32<kShared>(c, p + 32 * steps, n - 8 * steps);
}

template void Apply24Avx2<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply24Avx2<true>(ColorCorrection&, uint8_t*, size_t);
template void Apply32Avx2<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply32Avx2<true>(ColorCorrection&, uint8_t*, size_t);

}  // namespace imaging::cc
