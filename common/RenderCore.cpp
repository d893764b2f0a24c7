#include "common/RenderCore.h"

#include <cassert>

#include "imaging.h"

bool StreamFormatDecodes(std::uint32_t format) { return FindStreamFormat(format) != nullptr; }

std::uint64_t FrameBytesNeeded(std::uint32_t format, std::int32_t width, std::int32_t height) {
  const StreamFormatInfo* info = FindStreamFormat(format);
  if (info == nullptr) return 0;
  return info->lineRecords != 0 ? 1 : StreamFrameBytes(info, width, height);
}

std::int32_t KnownDebayerMode(std::int32_t mode) {
  return (mode > DEBAYER_MONO && mode <= DEBAYER_PREVIEW) ? mode : DEBAYER_MONO;
}

bool UnpackFrame(std::uint32_t format, const std::uint8_t* bytes, std::uint32_t byteCount,
                 std::int32_t width, std::int32_t height, const TRenderBuffers& buffers,
                 TRenderFrame& frame) {
  const StreamFormatInfo* info = FindStreamFormat(format);
  if (info == nullptr || byteCount < FrameBytesNeeded(format, width, height)) return false;
  assert(bytes != nullptr && width >= 0 && height >= 0);
  frame = TRenderFrame{};
  frame.width = width;
  frame.height = height;
  if (info->unpack != nullptr) {
    // The unpackers write exactly width x height samples, so the lookup
    // never meets a sample left over from an older frame.
    info->unpack(bytes, width, height, buffers.pixels16);
    frame.raw = buffers.pixels16;
    frame.rawBits = info->bitsPerSample;
    return true;
  }
  if (info->lineRecords != 0) {
    DecodeCompressedLines(bytes, byteCount, width, height, buffers.pixels8);
    frame.samples = buffers.pixels8;
  } else {
    frame.samples = bytes;
  }
  frame.raw = frame.samples;
  frame.picture = frame.samples;
  return true;
}

void MapFrameTo8Bit(TRenderFrame& frame, const TDisplayLookup& lookup,
                    const TRenderBuffers& buffers) {
  if (frame.rawBits == 8) return;
  assert(frame.raw == buffers.pixels16 && (frame.rawBits == 10 || frame.rawBits == 12));
  ApplyLookupTable16To8(buffers.pixels16, frame.width * frame.height,
                        frame.rawBits == 12 ? lookup.lut12 : lookup.lut10, buffers.pixels8);
  frame.samples = buffers.pixels8;
  frame.picture = frame.samples;
}

void DemosaicFrame(TRenderFrame& frame, std::int32_t mode, const TRenderBuffers& buffers) {
  const std::int32_t family = KnownDebayerMode(mode);
  if (family == DEBAYER_MONO) return;
  assert(frame.samples != nullptr);
  frame.demosaiced = Debayer8Member(family, DEBAYER_8TO24, BAYER_GBRG)(
                         frame.samples, frame.width, frame.height, buffers.image24) != 0;
  frame.picture = buffers.image24;
  frame.pictureBits = 24;
  frame.width = PictureExtent(family, frame.width);
  frame.height = PictureExtent(family, frame.height);
}

void WidenGreyPicture(const TRenderFrame& frame, const TRenderBuffers& buffers,
                      TBitmapInfoHeader& header) {
  if (frame.pictureBits != 8) return;
  DebayerMono_8to24_GBRG(frame.samples, frame.width, frame.height, buffers.image24);
  header.biBitCount = 24;
}

void FillDefaultDisplayLookup(std::uint8_t (&lut10)[1024], std::uint8_t (&lut12)[4096]) {
  for (int i = 0; i < 1024; ++i) lut10[i] = static_cast<std::uint8_t>(i >> 2);
  for (int i = 0; i < 4096; ++i) lut12[i] = static_cast<std::uint8_t>(i >> 4);
}
