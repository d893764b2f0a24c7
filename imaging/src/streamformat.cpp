// The table of the stream formats and the packed sizes it gives.
#include "imaging/streamformat.h"

#include "imaging/decode.h"

extern "C" {

const StreamFormatInfo StreamFormats[STREAM_FORMAT_COUNT] = {
    // code, bits, line records, group bytes and samples, lookup bits,
    // decoder, output mode, video type
    {STREAM_RAW8, 8, 0, 1, 1, 8, nullptr, "8 bit", "8 bpp"},
    {STREAM_PACKED12, 12, 0, 6, 4, 8, Unpack12Bit, "12 bit", "12 bpp"},
    {STREAM_COMPRESSED8, 8, 1, 0, 0, 8, nullptr, "8 bits compress", "8 bpp compressed"},
    {STREAM_PACKED10, 10, 0, 20, 16, 10, Unpack10Bit, "10 bits", "10 bpp"},
};

const StreamFormatInfo* FindStreamFormat(uint32_t code) {
  if (code < STREAM_RAW8 || code > STREAM_FORMAT_COUNT) return nullptr;
  return &StreamFormats[code - STREAM_RAW8];
}

uint64_t StreamRowBytes(const StreamFormatInfo* format, int32_t width) {
  if (format->lineRecords != 0 || width < 1) return 0;
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(format->groupBytes) /
         static_cast<uint64_t>(format->groupSamples);
}

uint64_t StreamFrameBytes(const StreamFormatInfo* format, int32_t width, int32_t height) {
  if (height < 1) return 0;
  return StreamRowBytes(format, width) * static_cast<uint64_t>(height);
}

}  // extern "C"
