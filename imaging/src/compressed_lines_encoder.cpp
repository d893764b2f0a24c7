// EncodeCompressedLines: the inverse of DecodeCompressedLines,
// for the simulated camera, the tests and the benchmarks.
//
// Each row becomes one CompressedLineRecord: PayloadLength, LineNumber
// (row + 1), the four FirstSamples and the DifferenceCode words of samples 4
// to width - 1, each difference d = (p - sample) mod 256 by its shortest code
// word. The record carries exactly the u16 words that the reference decoder
// takes: it refills one word whenever fewer than 14 bits are buffered, which
// may be one word more than the code bits fill; the unused bits are 0.
#include <cstddef>
#include <cstdint>

#include "imaging/encode.h"
#include "imaging/src/difference_code.h"

namespace {

constexpr uint32_t kHeaderBytes = 4;
constexpr uint32_t kFirstSamples = 4;
constexpr uint32_t kMaxPayload = 0xFFFF;

inline void WriteU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Largest payload a row can need: 14 bits per sample, plus the decoder's
// possible extra refill word.
uint64_t MaxPayload(int32_t width) {
  const uint64_t samples = static_cast<uint64_t>(width) - 4;
  return kFirstSamples + 2 * ((samples * imaging::kMaxCodeLength + 15) / 16 + 1);
}

}  // namespace

extern "C" uint32_t CompressedLinesBound(int32_t width, int32_t height) {
  if (width < 4 || height <= 0 || height > 0xFFFF) return 0;
  const uint64_t payload = MaxPayload(width);
  if (payload > kMaxPayload) return 0;
  const uint64_t total = (kHeaderBytes + payload) * static_cast<uint64_t>(height) + kHeaderBytes;
  return total > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(total);
}

extern "C" uint32_t EncodeCompressedLines(const uint8_t* frame, int32_t width, int32_t height,
                                          uint8_t* dst, uint32_t dstCapacity) {
  if (width < 4 || height <= 0 || height > 0xFFFF) return 0;
  uint64_t written = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = frame + static_cast<ptrdiff_t>(y) * width;
    if (written + kHeaderBytes + kFirstSamples > dstCapacity) return 0;
    uint8_t* record = dst + written;
    for (uint32_t k = 0; k < kFirstSamples; ++k) record[kHeaderBytes + k] = row[k];
    uint64_t out = written + kHeaderBytes + kFirstSamples;

    // The code bits go out in u16 words as they fill. Alongside, `buffered`
    // follows the bits the decoder would hold: whenever it holds fewer than 14
    // before a code word it takes one more word; `wordsTaken` counts them.
    uint64_t pending = 0;  // code bits not yet emitted, first bit in bit 0
    uint32_t pendingBits = 0;
    uint32_t buffered = 0;
    uint64_t wordsTaken = 0;
    uint64_t wordsEmitted = 0;
    auto emitWord = [&]() -> bool {
      if (out + 2 > dstCapacity) return false;
      WriteU16(dst + out, static_cast<uint32_t>(pending & 0xFFFF));
      out += 2;
      ++wordsEmitted;
      pending >>= 16;
      pendingBits = pendingBits > 16 ? pendingBits - 16 : 0;
      return true;
    };
    for (int32_t i = 4; i < width; ++i) {
      const uint32_t p = 2u * row[i - 2] - row[i - 4];
      const uint8_t d = static_cast<uint8_t>(p - row[i]);
      const imaging::CodeWord cw = imaging::EncodeDifference(d);
      if (buffered < 14) {
        buffered += 16;
        ++wordsTaken;
      }
      buffered -= static_cast<uint32_t>(cw.length);
      pending |= static_cast<uint64_t>(cw.bits) << pendingBits;
      pendingBits += static_cast<uint32_t>(cw.length);
      while (pendingBits >= 16)
        if (!emitWord()) return 0;
    }
    // The last partial word, then the 0 words the decoder still takes (it
    // always holds every bit of a code word before decoding it, so
    // wordsTaken covers all code bits).
    if (pendingBits > 0 && !emitWord()) return 0;
    while (wordsEmitted < wordsTaken)
      if (!emitWord()) return 0;
    const uint64_t payload = out - (written + kHeaderBytes);
    if (payload > kMaxPayload) return 0;
    WriteU16(record, static_cast<uint32_t>(payload));
    WriteU16(record + 2, static_cast<uint32_t>(y + 1));
    written = out;
  }
  if (written + kHeaderBytes > dstCapacity) return 0;
  WriteU16(dst + written, 0);
  WriteU16(dst + written + 2, 0);
  written += kHeaderBytes;
  return static_cast<uint32_t>(written);
}
