// The AVX-512 apply loops: sixteen pixels a step (see
// colorcorrection_simd.h). The whole file is compiled for AVX-512 F, BW, VL
// and VBMI; it is reached only where the processor has them.
#include "imaging/src/colorcorrection_simd.h"

#if !defined(__AVX512VBMI__)
#error "colorcorrection_avx512.cpp is compiled with the AVX-512 flags"
#endif

namespace imaging::cc {
namespace {

constexpr uint64_t kIndexBytes = 0x7777777777777777u;  // bytes 0-2 of every word

// Word k of the result: bytes G, R, B (bytes 1, 2, 0) of the pixel at byte
// step * k of the source, then 0.
template <int kStep>
inline __m512i IndexSelection() {
  alignas(64) uint8_t bytes[64];
  static constexpr int kOrder[4] = {1, 2, 0, 0};
  for (int k = 0; k < 64; ++k) bytes[k] = static_cast<uint8_t>(kStep * (k / 4) + kOrder[k % 4]);
  return _mm512_load_si512(bytes);
}

// CubeIndex of sixteen keys.
inline __m512i CubeIndices(__m512i key) {
  using Keys = uint32_t __attribute__((vector_size(64)));
  Keys keys = reinterpret_cast<Keys>(key);
  ToCubeIndex(keys);
  return reinterpret_cast<__m512i>(keys);
}

// The entries at sixteen indices.
inline __m512i Entries16(const ColorCorrection& c, const uint32_t* index) {
  __m512i e = _mm512_castsi128_si512(Entries4(c, index));
  e = _mm512_inserti32x4(e, Entries4(c, index + 4), 1);
  e = _mm512_inserti32x4(e, Entries4(c, index + 8), 2);
  return _mm512_inserti32x4(e, Entries4(c, index + 12), 3);
}

// True when an entry's stamp differs from the current one.
inline bool AnyStale(__m512i entries, uint32_t stampBits) {
  const __m512i differ = _mm512_xor_si512(entries, _mm512_set1_epi32(static_cast<int>(stampBits)));
  return _mm512_test_epi32_mask(differ, _mm512_set1_epi32(static_cast<int>(~kColourMask))) != 0;
}

}  // namespace

template <bool kShared>
void Apply24Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  constexpr __mmask64 kStepBytes = (uint64_t{1} << 48) - 1;
  const __m512i toIndices = IndexSelection<3>();
  // Bytes B, G, R of the sixteen entries, packed into the first 48 bytes.
  alignas(64) uint8_t pack[64];
  for (int k = 0; k < 64; ++k) pack[k] = static_cast<uint8_t>(k < 48 ? k / 3 * 4 + k % 3 : 0);
  const __m512i toPixels = _mm512_load_si512(pack);
  const size_t steps = n / 16;
  alignas(64) uint32_t ring[kIndexRing][16];
  const auto make = [&](size_t s) {
    const __m512i pixels = _mm512_maskz_loadu_epi8(kStepBytes, p + 48 * s);
    _mm512_store_si512(ring[s % kIndexRing],
                       CubeIndices(_mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels)));
  };
  // Serves steps from s on while their entries are current; returns the
  // first step that has one that is not. The loop makes no call, so that its
  // constants stay in registers.
  const auto serveCurrent = [&](size_t s) {
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const __m512i entries = Entries16(c, ring[s % kIndexRing]);
      if (AnyStale(entries, stampBits)) break;
      // A whole 64-byte store: its last 16 bytes land on the next step,
      // whose pixels were read already and which overwrites them; a masked
      // store is slow on some processors and is kept for the last step.
      const __m512i packed = _mm512_maskz_permutexvar_epi8(kStepBytes, toPixels, entries);
      if (s + 1 < steps)
        _mm512_storeu_si512(p + 48 * s, packed);
      else
        _mm512_mask_storeu_epi8(p + 48 * s, kStepBytes, packed);
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) {
    ServeInOrder24<kShared>(c, stampBits, ring[s % kIndexRing], p + 48 * s, 16);
  });
  Apply24<kShared>(c, p + 48 * steps, n - 16 * steps);
}

// RGB32: the pixels are read again at their step for their fourth bytes.
template <bool kShared>
void Apply32Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m512i toIndices = IndexSelection<4>();
  const size_t steps = n / 16;
  alignas(64) uint32_t ring[kIndexRing][16];
  const auto make = [&](size_t s) {
    const __m512i pixels = _mm512_loadu_si512(p + 64 * s);
    _mm512_store_si512(ring[s % kIndexRing],
                       CubeIndices(_mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels)));
  };
  // As in the RGB24 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) {
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const __m512i entries = Entries16(c, ring[s % kIndexRing]);
      if (AnyStale(entries, stampBits)) break;
      // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
      uint8_t* q = p + 64 * s;
      _mm512_storeu_si512(q, _mm512_mask_blend_epi8(kIndexBytes, _mm512_loadu_si512(q), entries));
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) { Apply32<kShared>(c, p + 64 * s, 16); });
  Apply32<kShared>(c, p + 64 * steps, n - 16 * steps);
}

template void Apply24Avx512<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply24Avx512<true>(ColorCorrection&, uint8_t*, size_t);
template void Apply32Avx512<false>(ColorCorrection&, uint8_t*, size_t);
template void Apply32Avx512<true>(ColorCorrection&, uint8_t*, size_t);

}  // namespace imaging::cc
