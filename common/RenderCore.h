// The render steps both programs share, on buffers the caller owns: a
// frame's bytes decoded by their stream format (unpacked to the stream's
// depth, then mapped to 8 bits), demosaiced by a display mode (the preview
// family at half size), and a grey picture widened to 24 bits for copy and
// save. Each program runs them as its own named steps, with its own between
// them (the viewer's RAW white balance and tables act on the unpacked
// samples before they are mapped).
#ifndef COMMON_RENDERCORE_H
#define COMMON_RENDERCORE_H

#include <cstdint>

#include "common/BitmapInfo.h"
#include "imaging/debayer.h"

// The caller's render buffers, sized by FrameBuffers.h: Pixels16Count
// samples of pixels16, FrameBufferSize samples of pixels8 and Image24Size
// bytes of image24.
struct TRenderBuffers {
  std::uint16_t* pixels16 = nullptr;
  std::uint8_t* pixels8 = nullptr;
  std::uint8_t* image24 = nullptr;
};

// The display lookups: an 8-bit value for each 10-bit and each 12-bit sample.
struct TDisplayLookup {
  const std::uint8_t* lut10 = nullptr;  // 1024 entries
  const std::uint8_t* lut12 = nullptr;  // 4096 entries
};

// The lookups that show a sample's top 8 bits: 10-bit i -> i >> 2, 12-bit
// i -> i >> 4.
void FillDefaultDisplayLookup(std::uint8_t (&lut10)[1024], std::uint8_t (&lut12)[4096]);

// One frame on its way from the stream's bytes to the screen.
struct TRenderFrame {
  std::int32_t width = 0;
  std::int32_t height = 0;
  // The samples at the stream's own depth (8, 10 or 12 bits): what the RAW
  // histogram and the RAW white balance read.
  const void* raw = nullptr;
  std::int32_t rawBits = 8;
  // The 8-bit samples demosaicing reads; null until a wide frame is mapped.
  const std::uint8_t* samples = nullptr;
  // What is drawn: the samples, or the 24-bit picture in image24.
  const std::uint8_t* picture = nullptr;
  std::int32_t pictureBits = 8;
  // False when the demosaic refused the frame's size (odd or too small):
  // image24 then holds the previous picture, which is drawn.
  bool demosaiced = true;
};

// Whether a stream format carries frames (it is in the image library's
// StreamFormats table), which every one of them can be decoded.
bool StreamFormatDecodes(std::uint32_t format);

// Bytes the decoder of a format reads from a width x height frame: a packed
// frame's StreamFrameBytes; compressed line records carry their own lengths
// and the decoder stops at the last complete one, so one byte will do. 0 for
// a format without a decoder.
std::uint64_t FrameBytesNeeded(std::uint32_t format, std::int32_t width, std::int32_t height);

// The display mode in force for a requested one: a mode outside the
// demosaic families shows the samples themselves (DEBAYER_MONO).
std::int32_t KnownDebayerMode(std::int32_t mode);

// A picture side as a display mode draws it: the preview family halves it.
constexpr std::int32_t PictureExtent(std::int32_t mode, std::int32_t extent) {
  return mode == DEBAYER_PREVIEW ? extent / 2 : extent;
}

// First decode step: 8-bit samples are used where they lie, packed samples
// are unpacked into pixels16 (exactly width x height of them) and compressed
// lines decoded into pixels8. False, with the frame untouched, for a format
// without a decoder and for fewer than FrameBytesNeeded bytes (a record that
// does not fit its size would be drawn sheared, or with an older frame's
// bytes); the first frame's bytes of a longer record are decoded. The size
// must fit the buffers.
bool UnpackFrame(std::uint32_t format, const std::uint8_t* bytes, std::uint32_t byteCount,
                 std::int32_t width, std::int32_t height, const TRenderBuffers& buffers,
                 TRenderFrame& frame);

// Second decode step: 10- and 12-bit samples mapped to pixels8 through the
// lookup of their depth; 8-bit frames are left as they are. The picture is
// then the 8-bit samples.
void MapFrameTo8Bit(TRenderFrame& frame, const TDisplayLookup& lookup,
                    const TRenderBuffers& buffers);

// Demosaics the samples into image24 with the mode's GBRG member; the
// preview family draws half the width and height. Mono leaves the picture
// grey.
void DemosaicFrame(TRenderFrame& frame, std::int32_t mode, const TRenderBuffers& buffers);

// A grey picture copied or saved goes out as 24-bit grey: its samples
// widened into image24, and the header says 24 bits. A colour picture is in
// image24 already.
void WidenGreyPicture(const TRenderFrame& frame, const TRenderBuffers& buffers,
                      TBitmapInfoHeader& header);

#endif
