// What the vector loops of both instruction sets share. Included only by
// colorcorrection_avx2.cpp and colorcorrection_avx512.cpp, whose flags allow
// at least AVX2; internal linkage, as in colorcorrection_cube.h.
//
// Vector loops: sixteen pixels a step with AVX-512, eight with AVX2.
//
// A step's pixels become keys by one byte permutation (G, R, B, 0 is the key
// as a little-endian word) and cube indices by a few shifts; the indices are
// made kIndicesAhead steps before they are used and kept in a small ring. A
// word read from a vector stored just before must wait until that store has
// reached the cache, and the wait would hold up every step; made early, the
// indices are there when their step comes.
//
// The entries are read one by one straight into the lanes of a vector (a
// gather instruction is slower on the processors at hand), checked for the
// current stamp together, and their colour bytes written with one or two
// vector stores: a scalar store per pixel would cost more than all the rest.
// When an entry of the step is not current, the step is served again one
// pixel at a time in order, so that a colour met twice in one step is
// computed once. The results are those of the portable loops.

#ifndef IMAGING_COLORCORRECTION_SIMD_H
#define IMAGING_COLORCORRECTION_SIMD_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/src/colorcorrection_loops.h"

#if !defined(__AVX2__)
#error "colorcorrection_simd.h is for files compiled with AVX2 or more"
#endif

namespace imaging::cc {
namespace {

constexpr size_t kIndicesAhead = 2;
constexpr size_t kIndexRing = 4;  // index vectors kept: ahead + 1, rounded up
static_assert(kIndexRing > kIndicesAhead);

// The course every vector loop takes: make the first steps' indices, then
// serve steps while their entries are current (serveCurrent returns the
// first step that has one that is not) and serve that step in order.
template <class Make, class ServeCurrent, class ServeInOrder>
[[gnu::always_inline]] inline void RunSteps(size_t steps, const Make& make,
                                            const ServeCurrent& serveCurrent,
                                            const ServeInOrder& serveInOrder) {
  for (size_t s = 0; s < std::min(steps, kIndicesAhead); ++s) make(s);
  for (size_t s = serveCurrent(0); s < steps; s = serveCurrent(s + 1)) serveInOrder(s);
}

// Serves RGB24 pixels at p from their cube indices, one at a time in order,
// computing the entries that are not current. Kept out of line: inlined, it
// would crowd the registers of the loops that fall back on it.
template <bool kShared>
[[gnu::noinline]] void ServeInOrder24(ColorCorrection& c, uint32_t stampBits, const uint32_t* index,
                                      uint8_t* p, int pixels) {
  for (int k = 0; k < pixels; ++k) {
    const uint32_t bgr = Corrected<kShared>(c, stampBits, index[k]);
    std::memcpy(p + 3 * k, &bgr, 2);
    p[3 * k + 2] = static_cast<uint8_t>(bgr >> 16);
  }
}

// The entries at four indices, read into the lanes of a vector. Each entry
// is read by one instruction of its own, as a relaxed atomic load reads it
// (an aligned 4-byte read is indivisible on this target), so the loops may
// run in several threads while others store entries. Written as a relaxed
// atomic load, the compiler would not merge it into the lane insert, and the
// extra instructions cost the loops a third of their speed.
template <int kLane>
inline __m128i InsertEntry(__m128i lanes, const ColorCorrection& c, uint32_t index) {
  if constexpr (kLane == 0)
    __asm__("vmovd %1, %0" : "=x"(lanes) : "m"(c.Cube[index]));
  else
    __asm__("vpinsrd %2, %1, %0, %0" : "+x"(lanes) : "m"(c.Cube[index]), "i"(kLane));
  return lanes;
}

inline __m128i Entries4(const ColorCorrection& c, const uint32_t* index) {
  __m128i e = _mm_setzero_si128();
  e = InsertEntry<0>(e, c, index[0]);
  e = InsertEntry<1>(e, c, index[1]);
  e = InsertEntry<2>(e, c, index[2]);
  return InsertEntry<3>(e, c, index[3]);
}

}  // namespace
}  // namespace imaging::cc

#endif
