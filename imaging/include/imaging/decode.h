/* RAW line decoders and the 16-to-8-bit lookup.
 *
 * The camera sends each frame in the format its StreamStatus names
 * (StreamFormat; the table StreamFormats in streamformat.h names each one's
 * unpacker):
 *   STREAM_RAW8         plain 8-bit samples (nothing to decode)
 *   STREAM_PACKED12     -> Unpack12Bit, then ApplyLookupTable16To8 (4096-entry table)
 *   STREAM_COMPRESSED8  -> DecodeCompressedLines
 *   STREAM_PACKED10     -> Unpack10Bit, then ApplyLookupTable16To8 (1024-entry table)
 * Every function works on caller-owned buffers, allocates nothing, keeps no
 * state and reports no error. Rows are packed end to end, top row first.
 *
 * Safety rules where the formats leave a hole (these inputs come from RAW files
 * a user opens, so no decoder reads or writes outside the buffers below):
 *   - The packed formats are read row by row: a 10-bit row is width * 10 / 8
 *     bytes, a 12-bit row width * 3 / 2 bytes (both truncated: StreamRowBytes
 *     in streamformat.h), and the destination row is width samples. Only
 *     whole 20-byte blocks (10-bit) or whole 6-byte groups (12-bit) lying
 *     inside the source row are decoded; the remaining width mod 16 (10-bit)
 *     or width mod 4 (12-bit) samples of each destination row are set to 0.
 *     A decoder therefore reads at most height * (packed row bytes) source
 *     bytes (StreamFrameBytes) and writes exactly width * height destination
 *     samples. For a width that is a multiple of 16 (10-bit) or 4 (12-bit),
 *     which is all the formats define, the result is the one the format
 *     defines.
 *   - DecodeCompressedLines never reads outside the source bytes it is given,
 *     and reads each record only inside its own 4 + PayloadLength bytes:
 *     bytes of a record past its end (FirstSamples of a record with
 *     PayloadLength < 4, code words past the end of CodeWords) read as 0. So
 *     when a record's code words run out before its row is complete, the code
 *     word cut by the end is completed with 0 bits and every later code word
 *     of the row is the 2-bit word "0 0", d = 0: the rest of the row repeats
 *     the prediction p = 2 * row[i - 2] - row[i - 4]. Later records are then
 *     decoded as usual. A width below 4 makes it write nothing and return 0.
 */
#ifndef IMAGING_DECODE_H
#define IMAGING_DECODE_H

#include <stdint.h>

#include "imaging/streamformat.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 10-bit packed (StreamStatus 4) -> width * height u16 samples. Blocks of 20
 * bytes carry 16 samples: bytes 0..15 are the low 8 bits of samples 0..15,
 * byte 16 + k the two high bits of samples 4k..4k+3 (sample 4k + j in bits 2j,
 * 2j + 1). Writes nothing when width <= 0 or height <= 0. Always returns 0. */
int32_t Unpack10Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst);

/* 12-bit packed (StreamStatus 2) -> width * height u16 samples. Groups of 6
 * bytes b0..b5 carry s0 = (b1 >> 4) | (b3 & 0xF0) | ((b5 & 0xF0) << 4),
 * s1 = b0 | (b1 & 0x0F) << 8, s2 = b2 | (b3 & 0x0F) << 8,
 * s3 = b4 | (b5 & 0x0F) << 8. Returns 4 * g * height, g = (width * 3 / 2) / 6
 * groups per row (the samples decoded; the zero fill of a width that is not a
 * multiple of 4 is not counted), or 0 when height <= 0 or g <= 0 (nothing
 * written then). */
int32_t Unpack12Bit(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst);

/* Compressed 8-bit lines (StreamStatus 3): a run of CompressedLineRecords
 * (u16 PayloadLength, u16 LineNumber 1..height, 4 FirstSamples, then the
 * DifferenceCode bit stream in u16 words, LSB first), in any order, ended by
 * LineNumber 0, a LineNumber above height, a record that does not fit in the
 * remaining bytes, or 4 or fewer remaining bytes. Each record's row is
 * predicted as p = 2 * row[i - 2] - row[i - 4] and corrected by the decoded
 * difference d: row[i] = (p - d) mod 256. Rows without a record keep their
 * content. Returns the bytes of the decoded records (consumed). dst holds
 * width * height bytes. */
uint32_t DecodeCompressedLines(const uint8_t* src, uint32_t srcBytes, int32_t width, int32_t height,
                               uint8_t* dst);

/* dst[i] = table[src[i]] for i = 0 .. count - 1; count <= 0 writes nothing.
 * The table needs an entry for every sample value that occurs (1024 for
 * 10-bit, 4096 for 12-bit samples). */
void ApplyLookupTable16To8(const uint16_t* src, int32_t count, const uint8_t* table, uint8_t* dst);

/* 10-bit packed -> 8 bits in place, keeping the LOW 8 bits of each sample
 * (bytes 0..15 of every block; the high-bit bytes are dropped). Same row
 * rules as Unpack10Bit: the result is width * height bytes from the buffer's
 * start, the width mod 16 samples after the whole blocks of each row set to 0.
 * Returns the bytes decoded, 16 * (width / 16) * height, or 0 (buffer
 * unchanged) when height <= 0 or width * 10 / 8 <= 0. */
int32_t Unpack10BitTo8Bit(uint8_t* buffer, int32_t width, int32_t height);

/* 12-bit packed -> 8 bits in place, keeping the top 8 bits of each sample
 * (s >> 4). Same row rules as Unpack12Bit. Returns 4 * g * height, or 0
 * (buffer unchanged) when height <= 0 or g <= 0. */
int32_t Unpack12BitTo8Bit(uint8_t* buffer, int32_t width, int32_t height);

#ifdef __cplusplus
}
#endif

#endif
