// DecodeCompressedLines, the decoder of compressed 8-bit lines.
//
// Each CompressedLineRecord carries one row: four FirstSamples, then for
// every further sample i one DifferenceCode word giving d, and
// row[i] = (2 * row[i - 2] - row[i - 4] - d) mod 256.
//
// Bit reader. The reference decoding uses a 32-bit accumulator refilled with
// one u16 word whenever fewer than 14 bits are buffered, and one table step per
// code word (CodeLengthTable on the low 4 bits, CodeValueTable on the low 14
// bits). The stream is LSB first in little-endian u16 words, which is the same
// bit sequence as LSB first in bytes. Here the accumulator is 64 bits wide and
// is refilled without a branch to at least 56 bits, enough for four code words
// (4 x 14); the code words and the table steps are the reference ones, only the
// refill schedule differs, and bits that are buffered but not yet consumed
// never change a decoded value. So every well-formed stream decodes exactly as
// the format defines.
//
// Bounds. The reader never reads a byte outside the record (4 + PayloadLength
// bytes), which lies inside the source: the unaligned 8-byte refill is used
// only while 8 bytes remain in the record, and the last bytes are fed one by
// one, with 0 bytes after the end. So a row whose code words run out is
// finished with 0 bits: the cut word is completed with zeros and every later
// word is "0 0", d = 0 (the prediction is repeated). Missing FirstSamples of a
// record with PayloadLength < 4 read as 0 likewise.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/decode.h"
#include "imaging/src/difference_code.h"

namespace {

static_assert(std::endian::native == std::endian::little,
              "multi-byte loads and stores here assume a little-endian host");

using imaging::CodeLengthTable;
using imaging::CodeValueTable;

constexpr uint32_t kHeaderBytes = 4;  // PayloadLength, LineNumber
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
  size_t pos = 0;  // first byte not yet wholly in the buffer
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

// One row being decoded: its reader and its four most recent samples.
struct RowDecoder {
  BitReader reader;
  uint8_t* row;
  uint32_t s0, s1, s2, s3;  // row[i-4], row[i-3], row[i-2], row[i-1]

  // Writes FirstSamples (0 where the record is shorter) and sets the reader
  // on CodeWords.
  void Start(const uint8_t* body, uint32_t bodyBytes, uint8_t* destinationRow) {
    uint8_t first[kFirstSamples] = {0, 0, 0, 0};
    const uint32_t firstBytes = bodyBytes < kFirstSamples ? bodyBytes : kFirstSamples;
    std::memcpy(first, body, firstBytes);
    row = destinationRow;
    std::memcpy(row, first, kFirstSamples);
    s0 = first[0];
    s1 = first[1];
    s2 = first[2];
    s3 = first[3];
    reader.data = body + firstBytes;
    reader.size = bodyBytes - firstBytes;
  }

  // Samples i .. i + n - 1 from their differences d[0 .. n - 1]:
  // row[i] = (p - d) mod 256, p = 2 * row[i - 2] - row[i - 4]. Even and odd
  // samples form two independent chains, advanced together. The arithmetic
  // is modulo 2^32 and only the stored byte is reduced: add, subtract and
  // doubling commute with reduction modulo 256, so the bytes are those of the
  // defined decoding. a + d is formed off the chain, leaving two operations per
  // step (2c, minus); the empty asm only keeps the compiler from re-associating
  // the sum back into the chain (2c - d - a, three operations).
  inline void Reconstruct(int32_t i, int32_t n, const uint8_t* __restrict d) {
    uint8_t* __restrict out = row + i;
    uint32_t a = s0, b = s1, c = s2, e = s3;
    int32_t j = 0;
    for (; j + 2 <= n; j += 2) {
      uint32_t ta = a + d[j], tb = b + d[j + 1];
      __asm__("" : "+r"(ta), "+r"(tb));
      const uint32_t even = 2 * c - ta;
      const uint32_t odd = 2 * e - tb;
      out[j] = static_cast<uint8_t>(even);
      out[j + 1] = static_cast<uint8_t>(odd);
      a = c;
      b = e;
      c = even;
      e = odd;
    }
    if (j < n) {
      const uint32_t v = c + (c - (a + d[j]));
      out[j] = static_cast<uint8_t>(v);
      a = b;
      b = c;
      c = e;
      e = v;
    }
    s0 = a;
    s1 = b;
    s2 = c;
    s3 = e;
  }
};

// Samples are decoded in chunks: first the chunk's code words of every row
// into differences (the bit readers' table steps), then the samples from the
// differences. Keeping the two apart leaves each loop few live values, and
// the K rows' bit streams are independent, so interleaving them lets the
// processor overlap their table steps (each step waits only for the previous
// step of its own row). The result is that of decoding the rows one after
// the other, code word by code word.
constexpr int32_t kChunk = 512;  // a multiple of 4

template <int K>
void DecodeRows(RowDecoder (&rows)[K], int32_t width) {
  // The readers are copied into locals whose address is never taken, so that
  // they stay in registers: the byte stores into d[] could otherwise alias
  // them and force a reload after every store.
  BitReader r[K];
  for (int k = 0; k < K; ++k) r[k] = rows[k].reader;
  uint8_t d[K][kChunk];
  for (int32_t i = 4; i < width; i += kChunk) {
    const int32_t n = width - i < kChunk ? width - i : kChunk;
    int32_t j = 0;
    for (; j + 4 <= n; j += 4) {
      for (int k = 0; k < K; ++k) r[k].Refill();  // >= 56 bits: four words
      for (int q = 0; q < 4; ++q)
        for (int k = 0; k < K; ++k) d[k][j + q] = r[k].Decode();
    }
    if (j < n) {
      for (int k = 0; k < K; ++k) r[k].Refill();
      for (; j < n; ++j)
        for (int k = 0; k < K; ++k) d[k][j] = r[k].Decode();
    }
    for (int k = 0; k < K; ++k) rows[k].Reconstruct(i, n, d[k]);
  }
  for (int k = 0; k < K; ++k) rows[k].reader = r[k];
}

struct RecordView {
  const uint8_t* body;
  uint32_t bodyBytes;  // PayloadLength
  uint32_t line;       // LineNumber
  uint32_t bytes;      // 4 + PayloadLength
};

// The record at `at` if it is to be decoded: not past the format's stop
// conditions (more than 4 bytes left, LineNumber 1..height, fits).
inline bool ReadRecord(const uint8_t* at, uint32_t rest, int32_t height, RecordView& r) {
  if (rest <= kHeaderBytes) return false;
  r.bodyBytes = ReadU16(at);
  r.line = ReadU16(at + 2);
  r.bytes = kHeaderBytes + r.bodyBytes;
  r.body = at + kHeaderBytes;
  return r.line != 0 && static_cast<int64_t>(r.line) <= height && r.bytes <= rest;
}

}  // namespace

extern "C" uint32_t DecodeCompressedLines(const uint8_t* src, uint32_t srcBytes, int32_t width,
                                          int32_t height, uint8_t* dst) {
  if (width < 4) return 0;  // a row cannot hold its four FirstSamples
  uint32_t consumed = 0;
  uint32_t rest = srcBytes;
  const uint8_t* at = src;
  auto rowOf = [&](const RecordView& r) {
    return dst + static_cast<ptrdiff_t>(r.line - 1) * width;
  };
  RecordView first;
  while (ReadRecord(at, rest, height, first)) {
    RecordView second;
    if (ReadRecord(at + first.bytes, rest - first.bytes, height, second) &&
        second.line != first.line) {
      // Two records of different rows: decode them side by side.
      RowDecoder rows[2];
      rows[0].Start(first.body, first.bodyBytes, rowOf(first));
      rows[1].Start(second.body, second.bodyBytes, rowOf(second));
      DecodeRows(rows, width);
      const uint32_t both = first.bytes + second.bytes;
      consumed += both;
      rest -= both;
      at += both;
    } else {
      // The last record, or one that the next record overwrites.
      RowDecoder rows[1];
      rows[0].Start(first.body, first.bodyBytes, rowOf(first));
      DecodeRows(rows, width);
      consumed += first.bytes;
      rest -= first.bytes;
      at += first.bytes;
    }
  }
  return consumed;
}
