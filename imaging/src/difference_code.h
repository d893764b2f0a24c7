// The DifferenceCode of compressed 8-bit lines and its two
// constant decoding tables, shared by the decoder and the encoder.
//
// A code word is a prefix of 2 to 4 bits (the class) followed by e extra
// bits; the stream is read LSB first, so the first bit read is bit 0 of the
// accumulator. Magnitude = base + (e >> 1); the sign is + when the first
// extra bit read (bit 0 of e) is 1.
//
//   prefix (first bit first)  extra  length  base
//   0 0                       0      2       (value 0)
//   0 1                       1      3       1
//   1 0 0                     2      5       2
//   1 0 1                     3      6       4
//   1 1 0 0                   4      8       8
//   1 1 0 1                   5      9       16
//   1 1 1 0                   6      10      32
//   1 1 1 1                   10     14      0
#ifndef IMAGING_DIFFERENCE_CODE_H
#define IMAGING_DIFFERENCE_CODE_H

#include <array>
#include <cstdint>

namespace imaging {

struct CodeClass {
  uint32_t prefixBits;  // the prefix as it sits in the accumulator (first bit = bit 0)
  int prefixLength;
  int extraBits;
  int base;
};

inline constexpr std::array<CodeClass, 8> kCodeClasses = {{
    {0b00, 2, 0, 0},     // 0 0
    {0b10, 2, 1, 1},     // 0 1
    {0b001, 3, 2, 2},    // 1 0 0
    {0b101, 3, 3, 4},    // 1 0 1
    {0b0011, 4, 4, 8},   // 1 1 0 0
    {0b1011, 4, 5, 16},  // 1 1 0 1
    {0b0111, 4, 6, 32},  // 1 1 1 0
    {0b1111, 4, 10, 0},  // 1 1 1 1
}};

inline constexpr int kMaxCodeLength = 14;

// The class whose prefix begins the bits (first bit = bit 0 of bits).
constexpr int ClassOf(uint32_t bits) {
  for (int c = 0; c < 8; ++c) {
    const CodeClass& k = kCodeClasses[c];
    if ((bits & ((1u << k.prefixLength) - 1)) == k.prefixBits) return c;
  }
  return -1;  // unreachable: the prefixes cover every bit pattern
}

// The signed difference of the code word at the start of bits.
constexpr int DecodeDifference(uint32_t bits) {
  const CodeClass& k = kCodeClasses[ClassOf(bits)];
  if (k.extraBits == 0) return 0;
  const uint32_t e = (bits >> k.prefixLength) & ((1u << k.extraBits) - 1);
  const int magnitude = k.base + static_cast<int>(e >> 1);
  return (e & 1) ? magnitude : -magnitude;
}

constexpr std::array<uint8_t, 16> BuildCodeLengthTable() {
  std::array<uint8_t, 16> t{};
  for (uint32_t i = 0; i < 16; ++i) {
    const CodeClass& k = kCodeClasses[ClassOf(i)];
    t[i] = static_cast<uint8_t>(k.prefixLength + k.extraBits);
  }
  return t;
}

constexpr std::array<uint8_t, 16384> BuildCodeValueTable() {
  std::array<uint8_t, 16384> t{};
  for (uint32_t i = 0; i < 16384; ++i) t[i] = static_cast<uint8_t>(DecodeDifference(i) & 0xFF);
  return t;
}

// CodeLengthTable: the code word length, indexed by the next 4 bits of the
// stream (the low 4 bits of the accumulator).
alignas(64) inline constexpr std::array<uint8_t, 16> CodeLengthTable = BuildCodeLengthTable();

// CodeValueTable: d modulo 256 (the decoder only needs (p - d) mod 256),
// indexed by the next 14 bits of the stream; 14 bits cover the longest word.
alignas(64) inline constexpr std::array<uint8_t, 16384> CodeValueTable = BuildCodeValueTable();

// Encoder side: the shortest code word for a difference d modulo 256.
struct CodeWord {
  uint32_t bits;  // first bit = bit 0
  int length;
};

constexpr CodeWord EncodeDifference(uint8_t dModulo256) {
  // The representative of d mod 256 with the least magnitude takes the
  // shortest word (lengths grow with the magnitude).
  const int d = dModulo256 <= 128 ? dModulo256 : dModulo256 - 256;
  const int magnitude = d < 0 ? -d : d;
  const uint32_t sign = d > 0 ? 1u : 0u;
  if (magnitude == 0) return {kCodeClasses[0].prefixBits, 2};
  for (int c = 1; c < 7; ++c) {
    const CodeClass& k = kCodeClasses[c];
    if (magnitude < k.base + (1 << (k.extraBits - 1))) {
      const uint32_t e = (static_cast<uint32_t>(magnitude - k.base) << 1) | sign;
      return {k.prefixBits | (e << k.prefixLength), k.prefixLength + k.extraBits};
    }
  }
  const CodeClass& k = kCodeClasses[7];
  const uint32_t e = (static_cast<uint32_t>(magnitude) << 1) | sign;
  return {k.prefixBits | (e << k.prefixLength), k.prefixLength + k.extraBits};
}

}  // namespace imaging

#endif
