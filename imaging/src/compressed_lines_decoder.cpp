// Part 1.101: DecodeCompressedLines, the decoder of compressed 8-bit lines.
//
// Each CompressedLineRecord carries one row: four FirstSamples, then for
// every further sample i one DifferenceCode word giving d, and
// row[i] = (2 * row[i - 2] - row[i - 4] - d) mod 256.
//
// Bit reader. The Part describes a 32-bit accumulator refilled with one u16
// word whenever fewer than 14 bits are buffered, and one table step per code
// word (CodeLengthTable on the low 4 bits, CodeValueTable on the low 14 bits).
// The stream is LSB first in little-endian u16 words, which is the same bit
// sequence as LSB first in bytes. Here the accumulator is 64 bits wide and is
// refilled without a branch to at least 56 bits, enough for four code words
// (4 x 14); the code words and the table steps are the Part's, only the refill
// schedule differs, and bits that are buffered but not yet consumed never
// change a decoded value. So every well-formed stream decodes exactly as the
// Part says.
//
// Bounds. The reader never reads a byte outside the record (4 + PayloadLength
// bytes), which lies inside the source: the unaligned 8-byte refill is used
// only while 8 bytes remain in the record, and the last bytes are fed one by
// one, with 0 bytes after the end. So a row whose code words run out is
// finished with 0 bits: the cut word is completed with zeros and every later
// word is "0 0", d = 0 (the prediction is repeated). Missing FirstSamples of a
// record with PayloadLength < 4 read as 0 likewise.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "difference_code.h"
#include "imaging/decode.h"

namespace {

using imaging::CodeLengthTable;
using imaging::CodeValueTable;

constexpr uint32_t kHeaderBytes = 4;      // PayloadLength, LineNumber
constexpr uint32_t kFirstSamples = 4;

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint64_t ReadU64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);  // little-endian host (x86-64)
  return v;
}

// LSB-first bit reader over data[pos, size) that reads 0 past size.
struct BitReader {
  uint64_t bits = 0;   // the buffered bits, next bit in bit 0
  uint32_t count = 0;  // number of valid buffered bits; bit `count` is bit 0 of data[pos]
  const uint8_t* data;
  size_t pos = 0;      // first byte not yet wholly in the buffer
  size_t size;

  // Makes at least 56 bits valid.
  inline void Refill() {
    if (pos + 8 <= size) {
      // Bits above count may already hold the stream's next bits; OR-ing the
      // same stream bits again keeps them.
      bits |= ReadU64(data + pos) << count;
      pos += (63 - count) >> 3;
      count |= 56;
    } else {
      while (count <= 56) {
        const uint64_t byte = pos < size ? data[pos] : 0;
        bits |= byte << count;
        ++pos;
        count += 8;
      }
    }
  }

  // One code word: one step through the two tables.
  inline uint8_t Decode() {
    const uint32_t length = CodeLengthTable[bits & 0xF];
    const uint8_t d = CodeValueTable[bits & 0x3FFF];
    bits >>= length;
    count -= length;
    return d;
  }
};

// Decodes one row from its record body (FirstSamples and CodeWords).
void DecodeRow(const uint8_t* body, uint32_t bodyBytes, int32_t width, uint8_t* __restrict row) {
  uint8_t first[kFirstSamples] = {0, 0, 0, 0};
  std::memcpy(first, body, bodyBytes < kFirstSamples ? bodyBytes : kFirstSamples);
  // The four most recent samples, oldest first: row[i-4], row[i-3], row[i-2], row[i-1].
  uint32_t s0 = first[0], s1 = first[1], s2 = first[2], s3 = first[3];
  row[0] = first[0];
  row[1] = first[1];
  row[2] = first[2];
  row[3] = first[3];
  if (width <= 4) return;  // no code word is read

  BitReader reader;
  reader.data = body + (bodyBytes < kFirstSamples ? bodyBytes : kFirstSamples);
  reader.size = bodyBytes > kFirstSamples ? bodyBytes - kFirstSamples : 0;

  auto step = [&](int32_t i) {
    const uint32_t d = reader.Decode();
    const uint32_t v = (2 * s2 - s0 - d) & 0xFFu;
    row[i] = static_cast<uint8_t>(v);
    s0 = s1;
    s1 = s2;
    s2 = s3;
    s3 = v;
  };

  int32_t i = 4;
  for (; i + 4 <= width; i += 4) {
    reader.Refill();  // >= 56 bits: four words of at most 14 bits
    step(i);
    step(i + 1);
    step(i + 2);
    step(i + 3);
  }
  if (i < width) {
    reader.Refill();
    for (; i < width; ++i) step(i);
  }
}

}  // namespace

extern "C" uint32_t DecodeCompressedLines(const uint8_t* src, uint32_t srcBytes, int32_t width,
                                          int32_t height, uint8_t* dst) {
  if (width < 4) return 0;  // a row cannot hold its four FirstSamples
  uint32_t consumed = 0;
  uint32_t rest = srcBytes;
  const uint8_t* record = src;
  while (rest > kHeaderBytes) {
    const uint32_t payload = ReadU16(record);
    const uint32_t line = ReadU16(record + 2);
    if (line == 0 || static_cast<int64_t>(line) > height) break;
    const uint32_t recordBytes = kHeaderBytes + payload;
    if (recordBytes > rest) break;
    uint8_t* row = dst + static_cast<ptrdiff_t>(line - 1) * width;
    DecodeRow(record + kHeaderBytes, payload, width, row);
    consumed += recordBytes;
    rest -= recordBytes;
    record += recordBytes;
  }
  return consumed;
}
