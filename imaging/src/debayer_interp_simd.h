// AVX2 building blocks of the interpolating demosaic inner loops.
//
// A block is the 32 bytes of source samples that one register holds: 32
// pixels of an 8-bit frame, 16 of a 16-bit frame. Two lane layouts are used:
//  - full-width unsigned lanes, one per pixel (bilinear and adaptive), where
//    floor means are taken with the rounding-up average instruction and a
//    correction of the low bit, so no lane ever needs to widen;
//  - half-width signed lanes twice the size of a sample (Laplacian), one
//    register for the even columns and one for the odd columns of a block.
// Everything here is compiled for AVX2 and reached only when ActiveVectors()
// allows; the portable loops of the families give the same bytes everywhere.
#ifndef IMAGING_DEBAYER_INTERP_SIMD_H
#define IMAGING_DEBAYER_INTERP_SIMD_H

#include <immintrin.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/src/cpu_features.h"
#include "imaging/src/debayer_interp_edges.h"

namespace imaging::interp {

// The ceiling on vector code is the library's (cpu_features.h); the
// demosaics name it as their own.
using cpu::ActiveVectors;
using cpu::Vectors;

// Pixels per block.
template <class Fmt>
inline constexpr int32_t kBlock = 32 / sizeof(typename Fmt::Sample);

// Byte-shuffle controls, the same in both 16-byte lanes.
struct ByteMask {
  alignas(32) int8_t v[32];
};

// Where pixel j of a lane (elements of e bytes) sits in a channel register:
// at j in natural order, or, in split order (the even pixels of the lane
// first, then the odd ones, as a saturating pack of half-width lanes leaves
// them), at j / 2 or 8 / e + j / 2.
constexpr int PixelSlot(int e, int j, bool split) {
  return !split ? j : j % 2 == 0 ? j / 2 : 8 / e + j / 2;
}

// Places channel `channel` of the pixels of a lane into 16-byte chunk
// `chunk` of those pixels' interleaved B, G, R elements.
constexpr ByteMask InterleaveMask(int e, int chunk, int channel, bool split) {
  ByteMask m{};
  for (int j = 0; j < 16; ++j) {
    const int t = 16 * chunk + j, elem = t / e, pixel = elem / 3;
    const int slot = PixelSlot(e, pixel, split);
    const int8_t value = elem % 3 == channel ? static_cast<int8_t>(slot * e + t % e) : -128;
    m.v[j] = m.v[j + 16] = value;
  }
  return m;
}

// Reorders a split-order lane into natural order.
constexpr ByteMask NaturalOrderMask(int e) {
  ByteMask m{};
  for (int j = 0; j < 16; ++j)
    m.v[j] = m.v[j + 16] = static_cast<int8_t>(PixelSlot(e, j / e, true) * e + j % e);
  return m;
}

template <int E, int Chunk, int Channel, bool Split>
inline constexpr ByteMask kInterleave = InterleaveMask(E, Chunk, Channel, Split);
template <int E>
inline constexpr ByteMask kNaturalOrder = NaturalOrderMask(E);

}  // namespace imaging::interp

// Code between IMAGING_AVX2_BEGIN and IMAGING_AVX2_END is compiled for AVX2
// (and runs only where the processor has it). GCC takes a target pragma;
// clang ignores that pragma and takes an attribute applied to every function
// of the region instead.
#if defined(__clang__)
#define IMAGING_AVX2_BEGIN \
  _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define IMAGING_AVX2_END _Pragma("clang attribute pop")
#else
#define IMAGING_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define IMAGING_AVX2_END _Pragma("GCC pop_options")
#endif

IMAGING_AVX2_BEGIN

#define IMAGING_AVX2_INLINE inline __attribute__((always_inline))
// A function holding inlined AVX2 code, compiled with the AVX-512 VL and BW
// extensions (see Vectors::kAvx512).
#define IMAGING_AVX512_TARGET __attribute__((target("avx2,avx512f,avx512vl,avx512bw")))
// Placed after a lambda's parameters: the block bodies are inlined into the
// loop that runs them.
#define IMAGING_AVX2_LAMBDA __attribute__((always_inline))

namespace imaging::interp::avx2 {

IMAGING_AVX2_INLINE __m256i Load(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
IMAGING_AVX2_INLINE void Store(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}
IMAGING_AVX2_INLINE __m256i Mask(const ByteMask& m) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(m.v));
}
IMAGING_AVX2_INLINE __m256i Blend(__m256i a, __m256i b, __m256i takeB) {
  return _mm256_blendv_epi8(a, b, takeB);
}

// ---- Output --------------------------------------------------------------

// Stores the three 32-byte chunks of a 3-channel block, made per lane.
IMAGING_AVX2_INLINE void StoreChunks(uint8_t* d, __m256i o0, __m256i o1, __m256i o2) {
  Store(d, _mm256_permute2x128_si256(o0, o1, 0x20));
  Store(d + 32, _mm256_permute2x128_si256(o2, o0, 0x30));
  Store(d + 64, _mm256_permute2x128_si256(o1, o2, 0x31));
}

// Writes a block of pixels as B, G, R (, 0). The first half of the block is
// in the low lane of each channel register, in natural or split order.
template <class Fmt, bool Split = false>
IMAGING_AVX2_INLINE void StoreBlock(typename Fmt::Sample* out, __m256i b, __m256i g, __m256i r) {
  constexpr int e = sizeof(typename Fmt::Sample);
  uint8_t* d = reinterpret_cast<uint8_t*>(out);
  if constexpr (Fmt::kChannels == 3) {
    auto chunk = [&]<int K>() {
      return _mm256_or_si256(
          _mm256_or_si256(_mm256_shuffle_epi8(b, Mask(kInterleave<e, K, 0, Split>)),
                          _mm256_shuffle_epi8(g, Mask(kInterleave<e, K, 1, Split>))),
          _mm256_shuffle_epi8(r, Mask(kInterleave<e, K, 2, Split>)));
    };
    StoreChunks(d, chunk.template operator()<0>(), chunk.template operator()<1>(),
                chunk.template operator()<2>());
  } else if constexpr (Split) {
    const __m256i natural = Mask(kNaturalOrder<e>);
    StoreBlock<Fmt>(out, _mm256_shuffle_epi8(b, natural), _mm256_shuffle_epi8(g, natural),
                    _mm256_shuffle_epi8(r, natural));
  } else {
    const __m256i z = _mm256_setzero_si256();
    __m256i bgL, bgH, rzL, rzH, p0, p1, p2, p3;
    if constexpr (e == 1) {
      bgL = _mm256_unpacklo_epi8(b, g), bgH = _mm256_unpackhi_epi8(b, g);
      rzL = _mm256_unpacklo_epi8(r, z), rzH = _mm256_unpackhi_epi8(r, z);
      p0 = _mm256_unpacklo_epi16(bgL, rzL), p1 = _mm256_unpackhi_epi16(bgL, rzL);
      p2 = _mm256_unpacklo_epi16(bgH, rzH), p3 = _mm256_unpackhi_epi16(bgH, rzH);
    } else {
      bgL = _mm256_unpacklo_epi16(b, g), bgH = _mm256_unpackhi_epi16(b, g);
      rzL = _mm256_unpacklo_epi16(r, z), rzH = _mm256_unpackhi_epi16(r, z);
      p0 = _mm256_unpacklo_epi32(bgL, rzL), p1 = _mm256_unpackhi_epi32(bgL, rzL);
      p2 = _mm256_unpacklo_epi32(bgH, rzH), p3 = _mm256_unpackhi_epi32(bgH, rzH);
    }
    Store(d, _mm256_permute2x128_si256(p0, p1, 0x20));
    Store(d + 32, _mm256_permute2x128_si256(p2, p3, 0x20));
    Store(d + 64, _mm256_permute2x128_si256(p0, p1, 0x31));
    Store(d + 96, _mm256_permute2x128_si256(p2, p3, 0x31));
  }
}

// Writes a block from the planes of a row: the colour of the row's R or B
// sites (rowColour), G, and the other colour.
template <class Fmt, Colour RowC, bool Split = false>
IMAGING_AVX2_INLINE void StoreRowPlanes(typename Fmt::Sample* out, __m256i rowPlane, __m256i g,
                                        __m256i otherPlane) {
  if constexpr (RowC == kRed)
    StoreBlock<Fmt, Split>(out, otherPlane, g, rowPlane);
  else
    StoreBlock<Fmt, Split>(out, rowPlane, g, otherPlane);
}

// Runs block(x, out) over columns [x0, x1) of an output row, x1 - x0 being at
// least one block. block makes the pixels x .. x + kBlock - 1 into out. The
// last, partial block is made over the span's last kBlock columns into a local
// copy, from which only its new pixels are written.
template <class Fmt, class MakeBlock>
IMAGING_AVX2_INLINE void ForBlocks(typename Fmt::Sample* drow, int32_t x0, int32_t x1,
                                   MakeBlock&& block) {
  using S = typename Fmt::Sample;
  constexpr int32_t n = kBlock<Fmt>;
  constexpr std::ptrdiff_t ch = Fmt::kChannels;  // x * ch in 64 bits
  ptrdiff_t x = x0;                              // in 64 bits: no widening at each block
  for (; x + n <= x1; x += n) block(x, drow + x * ch);
  if (x < x1) {
    S part[n * ch];
    block(x1 - n, part);
    std::memcpy(drow + x * ch, part + (x - (x1 - n)) * ch, sizeof(S) * ch * (x1 - x));
  }
}

// ---- Full-width unsigned lanes (bilinear, adaptive) ------------------------

template <class S>
struct ULanes;

template <>
struct ULanes<uint8_t> {
  static IMAGING_AVX2_INLINE __m256i Avg(__m256i a, __m256i b) { return _mm256_avg_epu8(a, b); }
  static IMAGING_AVX2_INLINE __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi8(a, b); }
  static IMAGING_AVX2_INLINE __m256i SubSat(__m256i a, __m256i b) { return _mm256_subs_epu8(a, b); }
  static IMAGING_AVX2_INLINE __m256i Max(__m256i a, __m256i b) { return _mm256_max_epu8(a, b); }
  static IMAGING_AVX2_INLINE __m256i Eq(__m256i a, __m256i b) { return _mm256_cmpeq_epi8(a, b); }
  static IMAGING_AVX2_INLINE __m256i One() { return _mm256_set1_epi8(1); }
  // All ones in the lanes of odd index when odd, else in those of even index.
  static IMAGING_AVX2_INLINE __m256i Lanes(int odd) {
    return _mm256_set1_epi16(odd ? static_cast<int16_t>(0xFF00) : 0x00FF);
  }
};

template <>
struct ULanes<uint16_t> {
  static IMAGING_AVX2_INLINE __m256i Avg(__m256i a, __m256i b) { return _mm256_avg_epu16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i SubSat(__m256i a, __m256i b) {
    return _mm256_subs_epu16(a, b);
  }
  static IMAGING_AVX2_INLINE __m256i Max(__m256i a, __m256i b) { return _mm256_max_epu16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Eq(__m256i a, __m256i b) { return _mm256_cmpeq_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i One() { return _mm256_set1_epi16(1); }
  static IMAGING_AVX2_INLINE __m256i Lanes(int odd) {
    return _mm256_set1_epi32(odd ? static_cast<int32_t>(0xFFFF0000u) : 0x0000FFFF);
  }
};

// (a + b) >> 1 and the bit it drops.
struct Mean2 {
  __m256i mean, dropped;
};

template <class L>
IMAGING_AVX2_INLINE Mean2 FloorMean(__m256i a, __m256i b) {
  const __m256i dropped = _mm256_and_si256(_mm256_xor_si256(a, b), L::One());
  return {L::Sub(L::Avg(a, b), dropped), dropped};
}

// (a + b + c + d) >> 2 from the two pair means: the halves' sum divided by
// two rounds up only when both pairs dropped a bit.
template <class L>
IMAGING_AVX2_INLINE __m256i FloorMean4(const Mean2& ab, const Mean2& cd) {
  const __m256i odd = _mm256_and_si256(_mm256_xor_si256(ab.mean, cd.mean), L::One());
  const __m256i bothDropped = _mm256_and_si256(ab.dropped, cd.dropped);
  return L::Sub(L::Avg(ab.mean, cd.mean), _mm256_andnot_si256(bothDropped, odd));
}

// |a - b| of unsigned lanes.
template <class L>
IMAGING_AVX2_INLINE __m256i AbsDiff(__m256i a, __m256i b) {
  return _mm256_or_si256(L::SubSat(a, b), L::SubSat(b, a));
}

// ---- Half-width signed lanes (Laplacian) -----------------------------------

struct Halves {
  __m256i even, odd;
};

template <class S>
struct SLanes;

template <>
struct SLanes<uint8_t> {
  static IMAGING_AVX2_INLINE __m256i Low() { return _mm256_set1_epi16(0x00FF); }
  static IMAGING_AVX2_INLINE Halves Split(const uint8_t* p) {
    const __m256i v = Load(p);
    return {_mm256_and_si256(v, Low()), _mm256_srli_epi16(v, 8)};
  }
  // The block's pixels as bytes in split order, limited to 0..255.
  static IMAGING_AVX2_INLINE __m256i Pack(__m256i even, __m256i odd) {
    return _mm256_packus_epi16(even, odd);
  }
  static IMAGING_AVX2_INLINE __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Splat(int32_t v) {
    return _mm256_set1_epi16(static_cast<int16_t>(v));
  }
  static IMAGING_AVX2_INLINE __m256i Abs(__m256i a) { return _mm256_abs_epi16(a); }
  static IMAGING_AVX2_INLINE __m256i Max(__m256i a, __m256i b) { return _mm256_max_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Min(__m256i a, __m256i b) { return _mm256_min_epi16(a, b); }
  // a with the sign of b (0 where b is 0).
  static IMAGING_AVX2_INLINE __m256i Sign(__m256i a, __m256i b) { return _mm256_sign_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Gt(__m256i a, __m256i b) { return _mm256_cmpgt_epi16(a, b); }
  static IMAGING_AVX2_INLINE __m256i Eq(__m256i a, __m256i b) { return _mm256_cmpeq_epi16(a, b); }
  template <int N>
  static IMAGING_AVX2_INLINE __m256i Sra(__m256i a) {
    return _mm256_srai_epi16(a, N);
  }
  template <int N>
  static IMAGING_AVX2_INLINE __m256i Srl(__m256i a) {
    return _mm256_srli_epi16(a, N);
  }
};

template <>
struct SLanes<uint16_t> {
  static IMAGING_AVX2_INLINE __m256i Low() { return _mm256_set1_epi32(0xFFFF); }
  static IMAGING_AVX2_INLINE Halves Split(const uint16_t* p) {
    const __m256i v = Load(p);
    return {_mm256_and_si256(v, Low()), _mm256_srli_epi32(v, 16)};
  }
  // The block's pixels as u16 in split order, limited to 0..65535.
  static IMAGING_AVX2_INLINE __m256i Pack(__m256i even, __m256i odd) {
    return _mm256_packus_epi32(even, odd);
  }
  static IMAGING_AVX2_INLINE __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
  static IMAGING_AVX2_INLINE __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
  static IMAGING_AVX2_INLINE __m256i Splat(int32_t v) { return _mm256_set1_epi32(v); }
  static IMAGING_AVX2_INLINE __m256i Abs(__m256i a) { return _mm256_abs_epi32(a); }
  static IMAGING_AVX2_INLINE __m256i Max(__m256i a, __m256i b) { return _mm256_max_epi32(a, b); }
  static IMAGING_AVX2_INLINE __m256i Min(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
  // a with the sign of b (0 where b is 0).
  static IMAGING_AVX2_INLINE __m256i Sign(__m256i a, __m256i b) { return _mm256_sign_epi32(a, b); }
  static IMAGING_AVX2_INLINE __m256i Gt(__m256i a, __m256i b) { return _mm256_cmpgt_epi32(a, b); }
  static IMAGING_AVX2_INLINE __m256i Eq(__m256i a, __m256i b) { return _mm256_cmpeq_epi32(a, b); }
  template <int N>
  static IMAGING_AVX2_INLINE __m256i Sra(__m256i a) {
    return _mm256_srai_epi32(a, N);
  }
  template <int N>
  static IMAGING_AVX2_INLINE __m256i Srl(__m256i a) {
    return _mm256_srli_epi32(a, N);
  }
};

// Signed division by 2^N rounding toward zero: the magnitude is divided and
// the sign put back.
template <class H, int N>
IMAGING_AVX2_INLINE __m256i TruncDiv(__m256i v) {
  return H::Sign(H::template Srl<N>(H::Abs(v)), v);
}

// Runs Body::Run(args...), an always-inline function of AVX2 code, compiled
// for AVX2.
template <class Body, class... Args>
void RunAvx2(const Args&... args) {
  Body::Run(args...);
}

}  // namespace imaging::interp::avx2

IMAGING_AVX2_END

namespace imaging::interp {

// The same, compiled with the AVX-512 VL and BW extensions.
template <class Body, class... Args>
IMAGING_AVX512_TARGET void RunAvx512(const Args&... args) {
  Body::Run(args...);
}

// Runs Body::Run(args...) with the given vector code (kAvx2 or kAvx512).
template <class Body, class... Args>
inline void RunVectors(Vectors vectors, const Args&... args) {
  if (vectors == Vectors::kAvx512)
    RunAvx512<Body>(args...);
  else
    avx2::RunAvx2<Body>(args...);
}

// WalkRows for a family whose inner loop is Inner<Fmt, Phase, Py>::Run(f, y,
// x0, x1) in vector code, or portable.template operator()<Py>(y, x0, x1) where
// no vector code may run or the inner span is shorter than a block.
template <class Fmt, int Phase, template <class, int, int> class Inner, class Portable>
int32_t WalkRowsWithVectors(const Frame<Fmt>& f, int32_t margin, Portable&& portable) {
  const Vectors vectors = f.w - 2 * margin >= kBlock<Fmt> ? ActiveVectors() : Vectors::kNone;
  return WalkRows<Fmt, Phase>(f, margin, [&](int32_t y, int32_t x0, int32_t x1) {
    WithRowParity(y, [&]<int Py>() {
      if (vectors == Vectors::kNone)
        portable.template operator()<Py>(y, x0, x1);
      else
        RunVectors<Inner<Fmt, Phase, Py>>(vectors, f, y, x0, x1);
    });
  });
}

}  // namespace imaging::interp

#endif
