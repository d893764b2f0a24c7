// The 10- and 12-bit unpackers and the 16-to-8-bit lookup.
//
// Row rules (see imaging/decode.h): a packed source row is width * 10 / 8
// (10-bit) or width * 3 / 2 (12-bit) bytes, truncated; a destination row is
// width samples. Whole blocks (20 bytes -> 16 samples) or groups (6 bytes -> 4
// samples) inside the source row are decoded and the rest of the destination
// row is set to 0. For the widths the formats define (multiples of 16 and 4)
// the rows are exactly the blocks and groups, and the result is the format's.
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/decode.h"
#include "imaging/src/raw_unpack_kernels.h"

namespace {

static_assert(std::endian::native == std::endian::little,
              "multi-byte loads and stores here assume a little-endian host");

// Block of the 10-bit format: 16 low bytes, then 4 bytes of high bit pairs.
constexpr int kBlockBytes10 = 20;
constexpr int kBlockSamples10 = 16;
// Group of the 12-bit format.
constexpr int kGroupBytes12 = 6;
constexpr int kGroupSamples12 = 4;

// Packed row lengths as the stream format table defines them (0 for a
// width below 1).
inline int64_t PackedRowBytes10(int32_t width) {
  return static_cast<int64_t>(StreamRowBytes(FindStreamFormat(STREAM_PACKED10), width));
}
inline int64_t PackedRowBytes12(int32_t width) {
  return static_cast<int64_t>(StreamRowBytes(FindStreamFormat(STREAM_PACKED12), width));
}

// One 12-bit group b0..b5 -> s0..s3.
struct Samples12 {
  uint32_t s0, s1, s2, s3;
};
inline Samples12 Unpack12Group(const uint8_t* in) {
  const uint32_t b0 = in[0], b1 = in[1], b2 = in[2], b3 = in[3], b4 = in[4], b5 = in[5];
  return {(b1 >> 4) | (b3 & 0xF0u) | ((b5 & 0xF0u) << 4), b0 | ((b1 & 0x0Fu) << 8),
          b2 | ((b3 & 0x0Fu) << 8), b4 | ((b5 & 0x0Fu) << 8)};
}

}  // namespace

namespace imaging::detail {

// Sample j of a block = byte j + 256 * bits 2(j mod 4), 2(j mod 4) + 1 of
// byte 16 + j / 4.
void Unpack10RowScalar(const uint8_t* __restrict in, int64_t blocks, uint16_t* __restrict out) {
  assert(blocks >= 0 && (blocks == 0 || (in != nullptr && out != nullptr)));
  for (int64_t b = 0; b < blocks; ++b, in += kBlockBytes10, out += kBlockSamples10)
    for (int j = 0; j < kBlockSamples10; ++j) {
      const uint32_t high = (in[16 + j / 4] >> (2 * (j % 4))) & 3u;
      out[j] = static_cast<uint16_t>(in[j] | (high << 8));
    }
}

void Unpack12RowScalar(const uint8_t* __restrict in, int64_t groups, uint16_t* __restrict out) {
  assert(groups >= 0 && (groups == 0 || (in != nullptr && out != nullptr)));
  for (int64_t g = 0; g < groups; ++g, in += kGroupBytes12, out += kGroupSamples12) {
    const Samples12 s = Unpack12Group(in);
    out[0] = static_cast<uint16_t>(s.s0);
    out[1] = static_cast<uint16_t>(s.s1);
    out[2] = static_cast<uint16_t>(s.s2);
    out[3] = static_cast<uint16_t>(s.s3);
  }
}

#if defined(__SSE2__)

void Unpack10RowSimd(const uint8_t* __restrict in, int64_t blocks, uint16_t* __restrict out) {
  const __m128i zero = _mm_setzero_si128();
  // The high pair of lane j (j mod 4 = k) moves to bits 8-9 by a multiply
  // with 2^(8 - 2k) and a mask.
  const __m128i scale = _mm_setr_epi16(256, 64, 16, 4, 256, 64, 16, 4);
  const __m128i highMask = _mm_set1_epi16(0x300);
  for (int64_t b = 0; b < blocks; ++b, in += kBlockBytes10, out += kBlockSamples10) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    int32_t highBytes;
    std::memcpy(&highBytes, in + 16, 4);
    __m128i h = _mm_unpacklo_epi8(_mm_cvtsi32_si128(highBytes), zero);  // h0 h1 h2 h3 0 0 0 0
    h = _mm_unpacklo_epi16(h, h);                                       // h0 h0 h1 h1 h2 h2 h3 h3
    const __m128i h01 = _mm_unpacklo_epi32(h, h);                       // h0 x4, h1 x4
    const __m128i h23 = _mm_unpackhi_epi32(h, h);                       // h2 x4, h3 x4
    const __m128i hi01 = _mm_and_si128(_mm_mullo_epi16(h01, scale), highMask);
    const __m128i hi23 = _mm_and_si128(_mm_mullo_epi16(h23, scale), highMask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_unpacklo_epi8(low, zero), hi01));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                     _mm_or_si128(_mm_unpackhi_epi8(low, zero), hi23));
  }
}

void Unpack12RowSimd(const uint8_t* __restrict in, int64_t groups, int64_t readable,
                     uint16_t* __restrict out) {
  // Two groups per step. Each group's three little-endian words w0 w1 w2 are
  // loaded as the 64-bit lane 0 w0 w1 w2 (an 8-byte load shifted up by one
  // word; it reads two bytes past the group). Then s1..s3 = w & 0xFFF, and
  // s0 = n0 + 16 n1 + 256 n2 with n = w >> 12: one multiply-add gives n0 and
  // 16 n1 + 256 n2 in the two halves of the lane, one shift and add join them.
  // The source from this row on holds at least the row's groups.
  assert(groups >= 0 && readable >= groups * kGroupBytes12);
  const __m128i lowMask = _mm_setr_epi16(0, 0xFFF, 0xFFF, 0xFFF, 0, 0xFFF, 0xFFF, 0xFFF);
  const __m128i nibbleWeights = _mm_setr_epi16(0, 1, 16, 256, 0, 1, 16, 256);
  const __m128i firstWord = _mm_setr_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  int64_t g = 0;
  for (; g + 2 <= groups && g * kGroupBytes12 + 14 <= readable; g += 2) {
    const uint8_t* p = in + g * kGroupBytes12;
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + kGroupBytes12));
    const __m128i t = _mm_slli_epi64(_mm_unpacklo_epi64(lo, hi), 16);  // 0 w0 w1 w2 per lane
    const __m128i m = _mm_madd_epi16(_mm_srli_epi16(t, 12), nibbleWeights);
    const __m128i s0 = _mm_and_si128(_mm_add_epi32(m, _mm_srli_epi64(m, 32)), firstWord);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + g * kGroupSamples12),
                     _mm_or_si128(_mm_and_si128(t, lowMask), s0));
  }
  Unpack12RowScalar(in + g * kGroupBytes12, groups - g, out + g * kGroupSamples12);
}

#else

void Unpack10RowSimd(const uint8_t* in, int64_t blocks, uint16_t* out) {
  Unpack10RowScalar(in, blocks, out);
}
void Unpack12RowSimd(const uint8_t* in, int64_t groups, int64_t, uint16_t* out) {
  Unpack12RowScalar(in, groups, out);
}

#endif

}  // namespace imaging::detail

extern "C" int32_t Unpack10Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst) {
  if (width <= 0 || height <= 0) return 0;
  const int64_t rowBytes = PackedRowBytes10(width);
  const int32_t blocks = width / kBlockSamples10;  // == rowBytes / 20
  const int32_t decoded = blocks * kBlockSamples10;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + y * rowBytes;
    uint16_t* out = dst + static_cast<ptrdiff_t>(y) * width;
    imaging::detail::Unpack10RowSimd(in, blocks, out);
    for (int32_t x = decoded; x < width; ++x) out[x] = 0;
  }
  return 0;
}

extern "C" int32_t Unpack12Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst) {
  const int64_t rowBytes = PackedRowBytes12(width);
  const int64_t groups = rowBytes / kGroupBytes12;  // truncating toward zero, as defined
  if (height <= 0 || groups <= 0) return 0;
  const int32_t decoded = static_cast<int32_t>(groups) * kGroupSamples12;  // <= width
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + y * rowBytes;
    uint16_t* out = dst + static_cast<ptrdiff_t>(y) * width;
    // The source holds height * rowBytes bytes: all of it from this row on is readable.
    imaging::detail::Unpack12RowSimd(in, groups, (height - y) * rowBytes, out);
    for (int32_t x = decoded; x < width; ++x) out[x] = 0;
  }
  return static_cast<int32_t>(static_cast<int64_t>(decoded) * height);
}

extern "C" void ApplyLookupTable16To8(const uint16_t* src, int32_t count, const uint8_t* table,
                                      uint8_t* dst) {
  if (count <= 0) return;
  // Sixteen lookups per step, gathered into two 8-byte words and stored with
  // two stores instead of sixteen byte stores; the table reads are
  // independent of each other.
  const uint16_t* __restrict in = src;
  uint8_t* __restrict out = dst;
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    uint64_t low = 0, high = 0;
    for (int k = 0; k < 8; ++k) {
      low |= static_cast<uint64_t>(table[in[i + k]]) << (8 * k);
      high |= static_cast<uint64_t>(table[in[i + 8 + k]]) << (8 * k);
    }
    std::memcpy(out + i, &low, 8);  // byte k at address i + k (little-endian x86-64)
    std::memcpy(out + i + 8, &high, 8);
  }
  for (; i < count; ++i) dst[i] = table[src[i]];
}

extern "C" int32_t Unpack10BitTo8Bit(uint8_t* buffer, int32_t width, int32_t height) {
  const int64_t rowBytes = PackedRowBytes10(width);
  if (height <= 0 || rowBytes <= 0) return 0;
  const int32_t blocks = width / kBlockSamples10;
  const int32_t decoded = blocks * kBlockSamples10;
  // Row y is read from y * rowBytes and written to y * width <= y * rowBytes,
  // and within a row block b is read from 20b and written to 16b: writing
  // never overtakes reading. memmove copies as the classic byte loop does.
  for (int32_t y = 0; y < height; ++y) {
    const int64_t r = y * rowBytes;
    const int64_t w = static_cast<int64_t>(y) * width;
    for (int64_t b = 0; b < blocks; ++b)
      std::memmove(buffer + w + b * kBlockSamples10, buffer + r + b * kBlockBytes10,
                   kBlockSamples10);
    if (decoded < width) std::memset(buffer + w + decoded, 0, static_cast<size_t>(width - decoded));
  }
  return static_cast<int32_t>(static_cast<int64_t>(decoded) * height);
}

extern "C" int32_t Unpack12BitTo8Bit(uint8_t* buffer, int32_t width, int32_t height) {
  const int64_t rowBytes = PackedRowBytes12(width);
  const int64_t groups = rowBytes / kGroupBytes12;
  if (height <= 0 || groups <= 0) return 0;
  const int32_t decoded = static_cast<int32_t>(groups) * kGroupSamples12;
  // Group g of row y is read (all six bytes) from y * rowBytes + 6g before its
  // four bytes go to y * width + 4g, which is never above the reading point.
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = buffer + y * rowBytes;
    uint8_t* out = buffer + static_cast<int64_t>(y) * width;
    for (int64_t g = 0; g < groups; ++g) {
      const Samples12 s = Unpack12Group(in + g * kGroupBytes12);
      out[4 * g + 0] = static_cast<uint8_t>(s.s0 >> 4);
      out[4 * g + 1] = static_cast<uint8_t>(s.s1 >> 4);
      out[4 * g + 2] = static_cast<uint8_t>(s.s2 >> 4);
      out[4 * g + 3] = static_cast<uint8_t>(s.s3 >> 4);
    }
    for (int32_t x = decoded; x < width; ++x) out[x] = 0;
  }
  return static_cast<int32_t>(static_cast<int64_t>(decoded) * height);
}
