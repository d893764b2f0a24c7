// DecodeCompressedLines, its code tables, the encoder, and a
// fuzz-style run over random and truncated record streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/decode.h"
#include "imaging/encode.h"
#include "imaging/src/difference_code.h"
#include "imaging/tests/raw_test_support.h"

namespace {

using rawtest::kCanary8;

// ---- An independent description of the DifferenceCode: bit by bit ----

// Reads bits LSB first from bytes [0, size); bits past the end read 0.
struct BitSource {
  const uint8_t* data;
  size_t size;
  size_t bit = 0;
  int Next() {
    const size_t byte = bit / 8;
    const int v = byte < size ? (data[byte] >> (bit % 8)) & 1 : 0;
    ++bit;
    return v;
  }
};

// One code word read from the format's class table, prefix bit by bit.
int ReadDifference(BitSource& in, int* length = nullptr) {
  const size_t start = in.bit;
  int extra = 0, base = 0;
  const int b0 = in.Next(), b1 = in.Next();
  if (b0 == 0 && b1 == 0) {
    if (length) *length = 2;
    return 0;
  }
  if (b0 == 0) {
    extra = 1, base = 1;  // 0 1
  } else {
    const int b2 = in.Next();
    if (b1 == 0) {
      extra = b2 ? 3 : 2, base = b2 ? 4 : 2;  // 1 0 1 / 1 0 0
    } else {
      const int b3 = in.Next();
      if (!b2 && !b3)
        extra = 4, base = 8;  // 1 1 0 0
      else if (!b2 && b3)
        extra = 5, base = 16;  // 1 1 0 1
      else if (b2 && !b3)
        extra = 6, base = 32;  // 1 1 1 0
      else
        extra = 10, base = 0;  // 1 1 1 1
    }
  }
  uint32_t e = 0;
  for (int k = 0; k < extra; ++k) e |= static_cast<uint32_t>(in.Next()) << k;
  const int magnitude = base + static_cast<int>(e >> 1);
  if (length) *length = static_cast<int>(in.bit - start);
  return (e & 1) ? magnitude : -magnitude;
}

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The decoding algorithm with the library's documented rule for the hole:
// each record is read only inside its own bytes, missing bytes read 0.
uint32_t ReferenceDecode(const std::vector<uint8_t>& src, int width, int height,
                         std::vector<uint8_t>& dst) {
  if (width < 4) return 0;
  uint32_t consumed = 0;
  size_t at = 0;
  uint32_t rest = static_cast<uint32_t>(src.size());
  while (rest > 4) {
    const uint32_t p = U16(&src[at]), n = U16(&src[at + 2]);
    if (n == 0 || static_cast<int>(n) > height || 4 + p > rest) break;
    const uint8_t* body = &src[at + 4];
    uint8_t* row = &dst[static_cast<size_t>(n - 1) * width];
    for (int k = 0; k < 4; ++k) row[k] = k < static_cast<int>(p) ? body[k] : 0;
    BitSource bits{p > 4 ? body + 4 : body, p > 4 ? p - 4 : 0};
    for (int i = 4; i < width; ++i) {
      const int prediction = 2 * row[i - 2] - row[i - 4];
      const int d = ReadDifference(bits);
      row[i] = static_cast<uint8_t>(((prediction - d) % 256 + 256) % 256);
    }
    consumed += 4 + p;
    rest -= 4 + p;
    at += 4 + p;
  }
  return consumed;
}

// The decoding algorithm as defined, word for word (32-bit accumulator, u16
// refill while fewer than 14 bits, the two tables), reading past a record's end
// as the reference decoder does; `src` must be padded so that this stays inside
// it. Reports the words each record took.
uint32_t LiteralReferenceDecode(const std::vector<uint8_t>& src, uint32_t srcBytes, int width,
                                int height, std::vector<uint8_t>& dst,
                                std::vector<uint32_t>* wordsTaken) {
  uint32_t consumed = 0, rest = srcBytes;
  const uint8_t* at = src.data();
  if (rest <= 4) return 0;
  while (rest > 4) {
    const uint32_t p = U16(at), n = U16(at + 2);
    if (n == 0 || static_cast<int>(n) > height || 4 + p > rest) break;
    uint8_t* row = &dst[static_cast<size_t>(n - 1) * width];
    std::memcpy(row, at + 4, 4);
    uint32_t a = 0, bits = 0, words = 0;
    const uint8_t* wp = at + 8;
    for (int i = 4; i < width; ++i) {
      const int prediction = 2 * row[i - 2] - row[i - 4];
      if (bits < 14) {
        a |= static_cast<uint32_t>(U16(wp)) << bits;
        bits += 16;
        wp += 2;
        ++words;
      }
      const int l = imaging::CodeLengthTable[a & 15];
      const int d = imaging::CodeValueTable[a & 0x3FFF];
      a >>= l;
      bits -= l;
      row[i] = static_cast<uint8_t>(prediction - d);
    }
    if (wordsTaken) wordsTaken->push_back(words);
    consumed += 4 + p;
    rest -= 4 + p;
    at += 4 + p;
  }
  return consumed;
}

// A record from its parts; the code words from a list of bit strings.
struct RecordBuilder {
  std::vector<uint8_t> bytes;
  void Add(uint32_t line, const std::vector<uint8_t>& first, const std::vector<int>& bits,
           int payloadOverride = -1) {
    std::vector<uint8_t> code((bits.size() + 15) / 16 * 2, 0);
    for (size_t k = 0; k < bits.size(); ++k)
      if (bits[k]) code[k / 8] |= static_cast<uint8_t>(1u << (k % 8));
    const uint32_t payload = payloadOverride >= 0
                                 ? static_cast<uint32_t>(payloadOverride)
                                 : static_cast<uint32_t>(first.size() + code.size());
    bytes.push_back(static_cast<uint8_t>(payload));
    bytes.push_back(static_cast<uint8_t>(payload >> 8));
    bytes.push_back(static_cast<uint8_t>(line));
    bytes.push_back(static_cast<uint8_t>(line >> 8));
    bytes.insert(bytes.end(), first.begin(), first.end());
    bytes.insert(bytes.end(), code.begin(), code.end());
  }
  void End() { bytes.insert(bytes.end(), {0, 0, 0, 0}); }
};

// ---- The code tables against the bit-by-bit description ----

TEST(DifferenceCode, TablesFollowTheCodeRule) {
  ASSERT_EQ(imaging::CodeLengthTable.size(), 16u);
  ASSERT_EQ(imaging::CodeValueTable.size(), 16384u);
  for (uint32_t index = 0; index < 16384; ++index) {
    uint8_t bytes[2] = {static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8)};
    BitSource in{bytes, 2};
    int length = 0;
    const int d = ReadDifference(in, &length);
    ASSERT_EQ(imaging::CodeLengthTable[index & 15], length) << index;
    ASSERT_EQ(imaging::CodeValueTable[index], static_cast<uint8_t>(d)) << index;
  }
}

TEST(DifferenceCode, WorkedExamples) {
  // 0 1 1 gives +1; 1 0 0 0 1 gives -3 (bits listed in reading order).
  uint8_t plusOne[1] = {0b110};
  BitSource a{plusOne, 1};
  EXPECT_EQ(ReadDifference(a), 1);
  EXPECT_EQ(imaging::CodeValueTable[0b110], 1);
  uint8_t minusThree[1] = {0b10001};
  BitSource b{minusThree, 1};
  EXPECT_EQ(ReadDifference(b), -3);
  EXPECT_EQ(imaging::CodeValueTable[0b10001], static_cast<uint8_t>(-3));
  EXPECT_EQ(imaging::CodeLengthTable[0b0001], 5);
  // 1 1 1 1 with e = 0 and e = 1 both mean 0.
  EXPECT_EQ(imaging::CodeValueTable[0b1111], 0);
  EXPECT_EQ(imaging::CodeValueTable[0b1111 | (1 << 4)], 0);
  EXPECT_EQ(imaging::CodeLengthTable[0b1111], 14);
}

TEST(DifferenceCode, EncoderPicksTheShortestWord) {
  for (int d = 0; d < 256; ++d) {
    const imaging::CodeWord cw = imaging::EncodeDifference(static_cast<uint8_t>(d));
    uint8_t bytes[4] = {static_cast<uint8_t>(cw.bits), static_cast<uint8_t>(cw.bits >> 8), 0, 0};
    BitSource in{bytes, 4};
    int length = 0;
    const int value = ReadDifference(in, &length);
    EXPECT_EQ(static_cast<uint8_t>(value), d);
    EXPECT_EQ(length, cw.length);
    const int m = std::min(d, 256 - d);
    const int expected = m == 0   ? 2
                         : m == 1 ? 3
                         : m < 4  ? 5
                         : m < 8  ? 6
                         : m < 16 ? 8
                         : m < 32 ? 9
                         : m < 64 ? 10
                                  : 14;
    EXPECT_EQ(cw.length, expected) << d;
  }
}

// ---- Worked examples of the format ----

TEST(DecodeCompressedLines, FourOrFewerBytesReturnZeroAndWriteNothing) {
  for (uint32_t n = 0; n <= 4; ++n) {
    std::vector<uint8_t> src = {8, 0, 1, 0, 9, 9, 9, 9};
    std::vector<uint8_t> dst(4, kCanary8);
    EXPECT_EQ(DecodeCompressedLines(src.data(), n, 4, 1, dst.data()), 0u);
    EXPECT_EQ(dst, std::vector<uint8_t>(4, kCanary8));
  }
}

TEST(DecodeCompressedLines, LineZeroOrBeyondHeightEndsDecoding) {
  for (uint32_t stopLine : {0u, 3u, 1000u}) {
    RecordBuilder r;
    r.Add(1, {1, 2, 3, 4}, {});
    r.Add(stopLine, {5, 6, 7, 8}, {});
    r.Add(2, {9, 9, 9, 9}, {});  // valid, but after the stop
    std::vector<uint8_t> dst(8, kCanary8);
    EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, 2,
                                    dst.data()),
              8u);
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 4, kCanary8, kCanary8, kCanary8, kCanary8}))
        << stopLine;
  }
}

TEST(DecodeCompressedLines, ZeroCodeAddsNoDifference) {
  // row[2] = 200 and row[0] = 100: row[4] = 2 * 200 - 100 = 300, mod 256 = 44.
  RecordBuilder r;
  r.Add(1, {100, 0, 200, 0}, {0, 0});
  std::vector<uint8_t> dst(5, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 5, 1,
                                  dst.data()),
            static_cast<uint32_t>(r.bytes.size()));
  EXPECT_EQ(dst, (std::vector<uint8_t>{100, 0, 200, 0, 44}));
}

TEST(DecodeCompressedLines, WidthFourSetsOnlyTheFirstSamples) {
  // No code words at all: PayloadLength 4. Nothing past the record is read
  // (the buffer ends there; the sanitizer build would see it).
  RecordBuilder r;
  r.Add(2, {11, 12, 13, 14}, {});
  std::vector<uint8_t> dst(8, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, 2,
                                  dst.data()),
            8u);
  EXPECT_EQ(dst, (std::vector<uint8_t>{kCanary8, kCanary8, kCanary8, kCanary8, 11, 12, 13, 14}));
}

TEST(DecodeCompressedLines, RowsWithoutRecordsKeepTheirContent) {
  const int w = 8, h = 4;
  auto frame = rawtest::RandomSamples<uint8_t>(w * h, 5, 255);
  std::vector<uint8_t> all(CompressedLinesBound(w, h));
  const uint32_t n =
      EncodeCompressedLines(frame.data(), w, h, all.data(), static_cast<uint32_t>(all.size()));
  ASSERT_GT(n, 0u);
  // Keep the records of rows 2 and 4 only (records are in row order).
  std::vector<uint8_t> some;
  size_t at = 0;
  for (int y = 0; y < h; ++y) {
    const size_t len = 4 + U16(&all[at]);
    if (y == 1 || y == 3) some.insert(some.end(), all.begin() + at, all.begin() + at + len);
    at += len;
  }
  std::vector<uint8_t> dst(w * h, kCanary8);
  EXPECT_EQ(
      DecodeCompressedLines(some.data(), static_cast<uint32_t>(some.size()), w, h, dst.data()),
      some.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      EXPECT_EQ(dst[y * w + x], (y == 1 || y == 3) ? frame[y * w + x] : kCanary8) << x << "," << y;
}

TEST(DecodeCompressedLines, ExampleCodeWordsInARow) {
  // Samples 4 and 5 with the words 0 1 1 (+1) and 1 0 0 0 1 (-3).
  RecordBuilder r;
  r.Add(1, {10, 20, 30, 40}, {0, 1, 1, 1, 0, 0, 0, 1});
  std::vector<uint8_t> dst(6, kCanary8);
  DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 6, 1, dst.data());
  // row[4] = 2 * 30 - 10 - 1 = 49; row[5] = 2 * 40 - 20 + 3 = 63.
  EXPECT_EQ(dst, (std::vector<uint8_t>{10, 20, 30, 40, 49, 63}));
}

TEST(DecodeCompressedLines, RecordsInAnyOrderAndLaterRecordsOverwrite) {
  RecordBuilder r;
  r.Add(3, {3, 3, 3, 3}, {});
  r.Add(1, {1, 1, 1, 1}, {});
  r.Add(3, {7, 7, 7, 7}, {});
  r.End();
  std::vector<uint8_t> dst(12, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, 3,
                                  dst.data()),
            24u);
  EXPECT_EQ(dst,
            (std::vector<uint8_t>{1, 1, 1, 1, kCanary8, kCanary8, kCanary8, kCanary8, 7, 7, 7, 7}));
}

TEST(DecodeCompressedLines, RecordRunningPastTheSourceEndsDecoding) {
  RecordBuilder r;
  r.Add(1, {1, 2, 3, 4}, {});
  r.Add(2, {5, 6, 7, 8}, {}, 400);  // claims 400 bytes
  std::vector<uint8_t> dst(8, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, 2,
                                  dst.data()),
            8u);
  EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 4, kCanary8, kCanary8, kCanary8, kCanary8}));
}

TEST(DecodeCompressedLines, NonPositiveHeightDecodesNothing) {
  RecordBuilder r;
  r.Add(1, {1, 2, 3, 4}, {});
  std::vector<uint8_t> dst(4, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, 0,
                                  dst.data()),
            0u);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), 4, -1,
                                  dst.data()),
            0u);
  EXPECT_EQ(dst, std::vector<uint8_t>(4, kCanary8));
}

// ---- The documented rules for the holes ----

TEST(DecodeCompressedLines, WidthBelowFourWritesNothing) {
  RecordBuilder r;
  r.Add(1, {1, 2, 3, 4}, {});
  for (int w : {3, 1, 0, -4}) {
    std::vector<uint8_t> dst(8, kCanary8);
    EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), w, 2,
                                    dst.data()),
              0u);
    EXPECT_EQ(dst, std::vector<uint8_t>(8, kCanary8));
  }
}

TEST(DecodeCompressedLines, CodeWordsRunningOutRepeatThePrediction) {
  // One word holds 0 1 1 (+1), then the record ends: the rest of the row
  // decodes with d = 0, and the next record is decoded as usual.
  RecordBuilder r;
  r.Add(1, {10, 20, 30, 40}, {0, 1, 1});
  r.Add(2, {1, 2, 3, 4}, {0, 0, 0, 0});
  const int w = 24;  // 20 code words: far more than the one word holds
  std::vector<uint8_t> dst(2 * w, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), w, 2,
                                  dst.data()),
            static_cast<uint32_t>(r.bytes.size()));
  std::vector<uint8_t> expected = {10, 20, 30, 40, 49};
  for (int i = 5; i < w; ++i)
    expected.push_back(static_cast<uint8_t>(2 * expected[i - 2] - expected[i - 4]));
  std::vector<uint8_t> row2 = {1, 2, 3, 4};
  for (int i = 4; i < w; ++i) row2.push_back(static_cast<uint8_t>(2 * row2[i - 2] - row2[i - 4]));
  expected.insert(expected.end(), row2.begin(), row2.end());
  EXPECT_EQ(dst, expected);
}

TEST(DecodeCompressedLines, CodeWordCutByTheRecordEndIsCompletedWithZeros) {
  // The record carries one word (16 bits): four "0 0" words (samples 4 to 7),
  // then at bit 8 the prefix 1 1 1 1 and the first 4 of its 10 extra bits
  // (1 0 1 1); the other 6 extra bits lie past the record (the bytes are in
  // the buffer, but belong to no record) and read as 0.
  std::vector<int> bits = {0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<int> cut = {1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 1, 1, 1};
  bits.insert(bits.end(), cut.begin(), cut.end());
  RecordBuilder r;
  r.Add(1, {50, 60, 70, 80}, bits, 4 + 2);  // PayloadLength: one word only
  const int w = 12;
  std::vector<uint8_t> dst(w, kCanary8), ref(w, kCanary8);
  DecodeCompressedLines(r.bytes.data(), static_cast<uint32_t>(r.bytes.size()), w, 1, dst.data());
  ReferenceDecode(std::vector<uint8_t>(r.bytes.begin(), r.bytes.begin() + 10), w, 1, ref);
  EXPECT_EQ(dst, ref);
  // Sample 8: e = 1 0 1 1 0 0 0 0 0 0 read LSB first = 13: magnitude 6, +.
  std::vector<uint8_t> expected = {50, 60, 70, 80};
  for (int i = 4; i < w; ++i)
    expected.push_back(
        static_cast<uint8_t>(2 * expected[i - 2] - expected[i - 4] - (i == 8 ? 6 : 0)));
  EXPECT_EQ(dst, expected);
}

TEST(DecodeCompressedLines, PayloadShorterThanFirstSamplesReadsZeros) {
  // PayloadLength 2: FirstSamples 2 and 3 lie outside the record and read 0;
  // the next record follows 6 bytes after this one.
  std::vector<uint8_t> src = {2, 0, 1, 0, 9, 8, /* next */ 4, 0, 2, 0, 1, 2, 3, 4};
  std::vector<uint8_t> dst(8, kCanary8);
  EXPECT_EQ(DecodeCompressedLines(src.data(), static_cast<uint32_t>(src.size()), 4, 2, dst.data()),
            14u);
  EXPECT_EQ(dst, (std::vector<uint8_t>{9, 8, 0, 0, 1, 2, 3, 4}));
}

// ---- Encoder round trips and agreement with the literal decoding algorithm ----

TEST(EncodeCompressedLines, RoundTripsAndMatchesTheReferenceDecoder) {
  struct Case {
    int w, h;
    bool noise;
  };
  for (const Case c : {Case{4, 3, true}, Case{5, 2, true}, Case{16, 8, true}, Case{17, 9, true},
                       Case{64, 32, false}, Case{1920, 6, false}, Case{1920, 4, true}}) {
    const auto frame = c.noise ? rawtest::RandomSamples<uint8_t>(c.w * c.h, c.w * 7 + c.h, 255)
                               : rawtest::SceneFrame(c.w, c.h, 3);
    std::vector<uint8_t> enc(CompressedLinesBound(c.w, c.h));
    const uint32_t n = EncodeCompressedLines(frame.data(), c.w, c.h, enc.data(),
                                             static_cast<uint32_t>(enc.size()));
    ASSERT_GT(n, 0u);
    enc.resize(n);
    std::vector<uint8_t> dst(c.w * c.h, kCanary8);
    EXPECT_EQ(DecodeCompressedLines(enc.data(), n, c.w, c.h, dst.data()),
              n - 4);  // all but the terminator
    EXPECT_EQ(dst, frame) << c.w << "x" << c.h;

    // The literal reference decoder (which may read past a record) gives the
    // same and takes exactly the words each record carries.
    std::vector<uint8_t> padded = enc;
    padded.resize(enc.size() + 64, 0);
    std::vector<uint8_t> literal(c.w * c.h, kCanary8);
    std::vector<uint32_t> words;
    EXPECT_EQ(LiteralReferenceDecode(padded, n, c.w, c.h, literal, &words), n - 4);
    EXPECT_EQ(literal, frame);
    size_t at = 0;
    for (int y = 0; y < c.h; ++y) {
      const uint32_t payload = U16(&enc[at]);
      EXPECT_EQ(U16(&enc[at + 2]), y + 1);
      EXPECT_EQ(payload, 4 + 2 * words[y]) << "row " << y;
      at += 4 + payload;
    }
    EXPECT_EQ(U16(&enc[at]), 0);
    EXPECT_EQ(U16(&enc[at + 2]), 0);
  }
}

TEST(EncodeCompressedLines, RefusesWhatItCannotEncode) {
  std::vector<uint8_t> frame(64, 1), dst(1024);
  EXPECT_EQ(EncodeCompressedLines(frame.data(), 3, 4, dst.data(), 1024), 0u);
  EXPECT_EQ(EncodeCompressedLines(frame.data(), 8, 0, dst.data(), 1024), 0u);
  EXPECT_EQ(EncodeCompressedLines(frame.data(), 8, 8, dst.data(), 20), 0u);  // does not fit
  EXPECT_GT(EncodeCompressedLines(frame.data(), 8, 8, dst.data(), 1024), 0u);
}

// ---- Fuzz-style: random, mutated and truncated record streams. Every
// buffer is exactly as large as the call may use, so the sanitizer build
// sees any access outside; the result must equal the reference. ----

void CheckAgainstReference(const std::vector<uint8_t>& src, int w, int h, uint8_t fill) {
  std::vector<uint8_t> dst(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0), fill);
  std::vector<uint8_t> ref = dst;
  // An exact-size copy of the source.
  std::vector<uint8_t> exact(src);
  const uint32_t got = DecodeCompressedLines(exact.empty() ? nullptr : exact.data(),
                                             static_cast<uint32_t>(exact.size()), w, h,
                                             dst.empty() ? nullptr : dst.data());
  const uint32_t want = ReferenceDecode(src, w, h, ref);
  ASSERT_EQ(got, want);
  ASSERT_EQ(dst, ref);
}

TEST(DecodeCompressedLinesFuzz, RandomBytes) {
  std::mt19937 rng(1234);
  for (int iter = 0; iter < 3000; ++iter) {
    const int w = 4 + static_cast<int>(rng() % 40);
    const int h = 1 + static_cast<int>(rng() % 6);
    std::vector<uint8_t> src(rng() % 200);
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    // Make headers plausible often enough to reach the bit reader.
    size_t at = 0;
    while (at + 4 <= src.size() && (rng() % 4) != 0) {
      const uint32_t p = rng() % 24;
      src[at] = static_cast<uint8_t>(p);
      src[at + 1] = 0;
      src[at + 2] = static_cast<uint8_t>(1 + rng() % (h + 1));
      src[at + 3] = 0;
      at += 4 + p;
    }
    CheckAgainstReference(src, w, h, static_cast<uint8_t>(iter));
  }
}

TEST(DecodeCompressedLinesFuzz, TruncatedAndMutatedEncodedFrames) {
  std::mt19937 rng(99);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = 4 + static_cast<int>(rng() % 70);
    const int h = 1 + static_cast<int>(rng() % 5);
    const auto frame = rawtest::RandomSamples<uint8_t>(static_cast<size_t>(w) * h, rng(), 255);
    std::vector<uint8_t> enc(CompressedLinesBound(w, h));
    const uint32_t n =
        EncodeCompressedLines(frame.data(), w, h, enc.data(), static_cast<uint32_t>(enc.size()));
    ASSERT_GT(n, 0u);
    enc.resize(n);
    // Every truncation.
    for (uint32_t cut = 0; cut <= n; ++cut)
      CheckAgainstReference(std::vector<uint8_t>(enc.begin(), enc.begin() + cut), w, h, 0x11);
    // Random bit flips, and payload lengths shortened so that the code words
    // run out inside the record stream.
    for (int m = 0; m < 40; ++m) {
      std::vector<uint8_t> bad = enc;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int f = 0; f < flips; ++f)
        bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      CheckAgainstReference(bad, w, h, 0x22);
    }
    for (int m = 0; m < 10; ++m) {
      // Rebuild the stream with every payload cut short by a random amount.
      std::vector<uint8_t> shortened;
      size_t at = 0;
      while (at + 4 <= enc.size()) {
        const uint32_t p = U16(&enc[at]);
        if (U16(&enc[at + 2]) == 0) break;
        const uint32_t keep = p == 0 ? 0 : static_cast<uint32_t>(rng() % (p + 1));
        shortened.push_back(static_cast<uint8_t>(keep));
        shortened.push_back(static_cast<uint8_t>(keep >> 8));
        shortened.insert(shortened.end(), enc.begin() + at + 2, enc.begin() + at + 4 + keep);
        at += 4 + p;
      }
      CheckAgainstReference(shortened, w, h, 0x33);
    }
  }
}

TEST(DecodeCompressedLinesFuzz, SmallWidthsAndHeights) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 500; ++iter) {
    const int w = static_cast<int>(rng() % 8) - 1;  // -1 .. 6
    const int h = static_cast<int>(rng() % 4) - 1;  // -1 .. 2
    std::vector<uint8_t> src(rng() % 40);
    for (auto& b : src) b = static_cast<uint8_t>(rng() % 7);  // small lengths and lines
    CheckAgainstReference(src, w, h, 0x44);
  }
}

}  // namespace
