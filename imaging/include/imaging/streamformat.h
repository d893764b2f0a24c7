/* Stream formats: the code the camera streams its frames in (its
 * StreamStatus) and a RAW file's header keeps, one definition for the driver
 * API, the camera application and the viewer: the codes, and in
 * StreamFormats what each one means (depth, packed sizes, the camera's
 * lookup depth, the decoder and the names users see). */
#ifndef IMAGING_STREAMFORMAT_H
#define IMAGING_STREAMFORMAT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum StreamFormat {
  STREAM_OFF = 0,         /* no stream: the camera sends nothing */
  STREAM_RAW8 = 1,        /* plain 8-bit samples */
  STREAM_PACKED12 = 2,    /* 12-bit packed */
  STREAM_COMPRESSED8 = 3, /* compressed 8-bit line records */
  STREAM_PACKED10 = 4     /* 10-bit packed */
};

/* What a stream format that carries frames means. */
typedef struct StreamFormatInfo {
  uint32_t code; /* its StreamFormat */
  /* Depth of the samples the frames carry: 8, 10 or 12 bits. */
  int32_t bitsPerSample;
  /* 1 where the rows come as compressed line records, each of a length of
   * its own; 0 where they are packed. */
  int32_t lineRecords;
  /* Packing: every groupSamples samples of a row take groupBytes bytes (one
   * in one, four in six for 12-bit, sixteen in twenty for 10-bit), rows end
   * to end with nothing between them. Both 0 for line records. */
  int32_t groupBytes;
  int32_t groupSamples;
  /* Depth the camera's lookup table maps its 12-bit samples to while it
   * streams this format (a table maximum of 255 or 1023); the 12-bit stream
   * bypasses the table, which keeps the 8-bit depth. */
  int32_t lookupBits;
  /* The decoder of packed wider samples into u16 samples (decode.h:
   * Unpack12Bit, Unpack10Bit); null for 8-bit samples. */
  int32_t (*unpack)(const uint8_t* src, int32_t width, int32_t height, uint16_t* dst);
  /* The names users see: the camera application's output mode and the
   * viewer's video type. */
  const char* outputModeName;
  const char* videoTypeName;
} StreamFormatInfo;

enum { STREAM_FORMAT_COUNT = 4 };

/* Every format that carries frames, in code order (StreamFormats[i].code is
 * i + 1), which is also the order of the camera application's output-mode
 * list. */
extern const StreamFormatInfo StreamFormats[STREAM_FORMAT_COUNT];

/* The format of a code; null for STREAM_OFF and for codes no format has. */
const StreamFormatInfo* FindStreamFormat(uint32_t code);

/* Bytes of one packed row of `width` samples: width * groupBytes /
 * groupSamples, truncated (width * 3 / 2 for 12-bit, width * 10 / 8 for
 * 10-bit samples). 0 for compressed line records and for a width below 1. */
uint64_t StreamRowBytes(const StreamFormatInfo* format, int32_t width);

/* Bytes of a packed frame: `height` rows of StreamRowBytes. The camera
 * sends exactly this many and the decoders read no more. 0 for compressed
 * line records and for a side below 1. */
uint64_t StreamFrameBytes(const StreamFormatInfo* format, int32_t width, int32_t height);

#ifdef __cplusplus
}
#endif

#endif
