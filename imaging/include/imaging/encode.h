/* Encoder of compressed 8-bit lines (StreamStatus 3), the inverse of
 * DecodeCompressedLines. Used by the simulated camera, the tests
 * and the benchmarks; the system's real encoder lives in the camera. */
#ifndef IMAGING_ENCODE_H
#define IMAGING_ENCODE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Encodes every row of a width x height Raw8Frame, top row first, as one
 * CompressedLineRecord (LineNumber = row + 1), each difference d = (p - sample)
 * mod 256 by the shortest DifferenceCode word, and ends the run with a 4-byte
 * record of PayloadLength 0 and LineNumber 0. Each record carries exactly the
 * u16 code words that the decoder's refill rule (one 16-bit word whenever fewer
 * than 14 bits are buffered) takes, the last word padded with 0 bits.
 * Returns the bytes written, terminator included, or 0 (dst content then
 * unspecified) when width < 4, height <= 0, height > 65535, a record does not
 * fit the u16 PayloadLength, or the run does not fit in dstCapacity bytes. */
uint32_t EncodeCompressedLines(const uint8_t* frame, int32_t width, int32_t height, uint8_t* dst,
                               uint32_t dstCapacity);

/* Upper bound of the bytes EncodeCompressedLines writes for a frame of this
 * size (every difference coded in 14 bits), or 0 when it cannot encode it. */
uint32_t CompressedLinesBound(int32_t width, int32_t height);

#ifdef __cplusplus
}
#endif

#endif
