// Part 1.101: the 10- and 12-bit unpackers and the 16-to-8-bit lookup.
//
// Row rules (see imaging/decode.h): a packed source row is width * 10 / 8
// (10-bit) or width * 3 / 2 (12-bit) bytes, truncated; a destination row is
// width samples. Whole blocks (20 bytes -> 16 samples) or groups (6 bytes -> 4
// samples) inside the source row are decoded and the rest of the destination
// row is set to 0. For the widths the Part supports (multiples of 16 and 4)
// the rows are exactly the blocks and groups, and the result is the Part's.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/decode.h"

namespace {

// Block of the 10-bit format: 16 low bytes, then 4 bytes of high bit pairs.
constexpr int kBlockBytes10 = 20;
constexpr int kBlockSamples10 = 16;
// Group of the 12-bit format.
constexpr int kGroupBytes12 = 6;
constexpr int kGroupSamples12 = 4;

inline int64_t PackedRowBytes10(int32_t width) { return static_cast<int64_t>(width) * 10 / 8; }
inline int64_t PackedRowBytes12(int32_t width) { return static_cast<int64_t>(width) * 3 / 2; }

// One 10-bit block -> 16 samples. Sample j = byte j + 256 * bits 2(j mod 4)
// and 2(j mod 4) + 1 of byte 16 + j / 4. The high pair is moved to bits 8-9
// by a left shift of 8 - 2(j mod 4) and a mask, so every lane does the same
// operations (a multiply by a per-lane constant) and the loop vectorises.
inline void Unpack10Block(const uint8_t* __restrict in, uint16_t* __restrict out) {
  for (int j = 0; j < kBlockSamples10; ++j) {
    const uint32_t high = in[16 + (j >> 2)];
    const uint32_t scale = 1u << (8 - 2 * (j & 3));
    out[j] = static_cast<uint16_t>(in[j] | ((high * scale) & 0x300u));
  }
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

extern "C" int32_t Unpack10Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst) {
  if (width <= 0 || height <= 0) return 0;
  const int64_t rowBytes = PackedRowBytes10(width);
  const int32_t blocks = width / kBlockSamples10;  // == rowBytes / 20
  const int32_t decoded = blocks * kBlockSamples10;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + y * rowBytes;
    uint16_t* out = dst + static_cast<ptrdiff_t>(y) * width;
    for (int32_t b = 0; b < blocks; ++b) {
      Unpack10Block(in, out);
      in += kBlockBytes10;
      out += kBlockSamples10;
    }
    for (int32_t x = decoded; x < width; ++x) dst[static_cast<ptrdiff_t>(y) * width + x] = 0;
  }
  return 0;
}

extern "C" int32_t Unpack12Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst) {
  const int64_t rowBytes = PackedRowBytes12(width);
  const int64_t groups = rowBytes / kGroupBytes12;  // truncating toward zero, as the Part
  if (height <= 0 || groups <= 0) return 0;
  const int32_t decoded = static_cast<int32_t>(groups) * kGroupSamples12;  // <= width
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + y * rowBytes;
    uint16_t* out = dst + static_cast<ptrdiff_t>(y) * width;
    for (int32_t g = 0; g < groups; ++g) {
      const Samples12 s = Unpack12Group(in + static_cast<ptrdiff_t>(g) * kGroupBytes12);
      out[4 * g + 0] = static_cast<uint16_t>(s.s0);
      out[4 * g + 1] = static_cast<uint16_t>(s.s1);
      out[4 * g + 2] = static_cast<uint16_t>(s.s2);
      out[4 * g + 3] = static_cast<uint16_t>(s.s3);
    }
    for (int32_t x = decoded; x < width; ++x) out[x] = 0;
  }
  return static_cast<int32_t>(static_cast<int64_t>(decoded) * height);
}

extern "C" void ApplyLookupTable16To8(const uint16_t* src, int32_t count, const uint8_t* table,
                                      uint8_t* dst) {
  if (count <= 0) return;
  // Eight lookups per step, stored as one 8-byte word: the table reads are
  // independent, and one store replaces eight byte stores.
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t packed = 0;
    for (int k = 0; k < 8; ++k) packed |= static_cast<uint64_t>(table[src[i + k]]) << (8 * k);
    std::memcpy(dst + i, &packed, 8);  // byte k at address i + k on little-endian x86
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
  // never overtakes reading. memmove copies as the Part's byte loop does.
  for (int32_t y = 0; y < height; ++y) {
    const int64_t r = y * rowBytes;
    const int64_t w = static_cast<int64_t>(y) * width;
    for (int32_t b = 0; b < blocks; ++b)
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
    for (int32_t g = 0; g < groups; ++g) {
      const Samples12 s = Unpack12Group(in + static_cast<ptrdiff_t>(g) * kGroupBytes12);
      out[4 * g + 0] = static_cast<uint8_t>(s.s0 >> 4);
      out[4 * g + 1] = static_cast<uint8_t>(s.s1 >> 4);
      out[4 * g + 2] = static_cast<uint8_t>(s.s2 >> 4);
      out[4 * g + 3] = static_cast<uint8_t>(s.s3 >> 4);
    }
    for (int32_t x = decoded; x < width; ++x) out[x] = 0;
  }
  return static_cast<int32_t>(static_cast<int64_t>(decoded) * height);
}
