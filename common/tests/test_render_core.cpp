// The render core on a small frame whose samples are known: every stream
// format decoded byte-exact (packed samples packed here by their documented
// layout, compressed lines by the library's encoder), every display mode
// (the preview family at half size, unknown modes grey, a refused size),
// grey widened for copy and save, the bytes a frame needs, and the centring
// arithmetic of the video panel.
#include <gtest/gtest.h>

#include <vector>

#include "common/FrameBuffers.h"
#include "common/RenderCore.h"
#include "common/VideoPanel.h"
#include "imaging.h"
#include "imaging/encode.h"

namespace {

constexpr int W = 16;  // one whole 10-bit block, four 12-bit groups a row
constexpr int H = 4;
constexpr int N = W * H;

// The frame's samples at the stream's depth.
std::uint16_t Sample(int i, int bits) {
  return static_cast<std::uint16_t>((i * 61 + 7) % (1 << bits));
}

// 16 samples a block: their low bytes, then four bytes of two high bits each.
std::vector<std::uint8_t> Pack10(const std::vector<std::uint16_t>& s) {
  std::vector<std::uint8_t> out;
  for (std::size_t b = 0; b < s.size(); b += 16) {
    for (int k = 0; k < 16; ++k) out.push_back(static_cast<std::uint8_t>(s[b + k]));
    for (int k = 0; k < 4; ++k) {
      std::uint8_t high = 0;
      for (int j = 0; j < 4; ++j)
        high |= static_cast<std::uint8_t>((s[b + 4 * k + j] >> 8) << (2 * j));
      out.push_back(high);
    }
  }
  return out;
}

// 4 samples in 6 bytes: s1, s2, s3 as low byte + low nibble of the next;
// s0's nibbles in the high nibbles of bytes 1, 3 and 5.
std::vector<std::uint8_t> Pack12(const std::vector<std::uint16_t>& s) {
  std::vector<std::uint8_t> out;
  for (std::size_t g = 0; g < s.size(); g += 4) {
    const unsigned s0 = s[g], s1 = s[g + 1], s2 = s[g + 2], s3 = s[g + 3];
    out.push_back(static_cast<std::uint8_t>(s1));
    out.push_back(static_cast<std::uint8_t>(((s0 & 0x0F) << 4) | (s1 >> 8)));
    out.push_back(static_cast<std::uint8_t>(s2));
    out.push_back(static_cast<std::uint8_t>((s0 & 0xF0) | (s2 >> 8)));
    out.push_back(static_cast<std::uint8_t>(s3));
    out.push_back(static_cast<std::uint8_t>(((s0 >> 4) & 0xF0) | (s3 >> 8)));
  }
  return out;
}

struct Buffers {
  std::vector<std::uint16_t> pixels16 = std::vector<std::uint16_t>(Pixels16Count);
  std::vector<std::uint8_t> pixels8 = std::vector<std::uint8_t>(FrameBufferSize);
  std::vector<std::uint8_t> image24 = std::vector<std::uint8_t>(Image24Size, 0xEE);
  TRenderBuffers view() { return {pixels16.data(), pixels8.data(), image24.data()}; }
};

struct Lookup {
  std::uint8_t lut10[1024];
  std::uint8_t lut12[4096];
  Lookup() {
    // Distinct from a plain shift, so a wrong table shows.
    for (int i = 0; i < 1024; ++i) lut10[i] = static_cast<std::uint8_t>(255 - (i >> 2));
    for (int i = 0; i < 4096; ++i) lut12[i] = static_cast<std::uint8_t>((i >> 4) ^ 0x55);
  }
};

// A stream format's bytes and the 8-bit samples they must give.
struct EncodedFrame {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> samples;
  int rawBits = 8;
};

EncodedFrame Encode(std::uint32_t format, const Lookup& lookup) {
  EncodedFrame f;
  const int bits = format == STREAM_PACKED10 ? 10 : format == STREAM_PACKED12 ? 12 : 8;
  std::vector<std::uint16_t> wide(N);
  for (int i = 0; i < N; ++i) wide[i] = Sample(i, bits);
  f.rawBits = bits;
  for (int i = 0; i < N; ++i)
    f.samples.push_back(bits == 10   ? lookup.lut10[wide[i]]
                        : bits == 12 ? lookup.lut12[wide[i]]
                                     : static_cast<std::uint8_t>(wide[i]));
  if (bits == 10) f.bytes = Pack10(wide);
  if (bits == 12) f.bytes = Pack12(wide);
  if (format == STREAM_RAW8) f.bytes = f.samples;
  if (format == STREAM_COMPRESSED8) {
    f.bytes.resize(CompressedLinesBound(W, H));
    f.bytes.resize(EncodeCompressedLines(f.samples.data(), W, H, f.bytes.data(),
                                         static_cast<std::uint32_t>(f.bytes.size())));
  }
  return f;
}

TEST(RenderCore, EachFormatDecodesAndEachModeDemosaics) {
  const Lookup lookup;
  for (std::uint32_t format : {STREAM_RAW8, STREAM_PACKED12, STREAM_COMPRESSED8, STREAM_PACKED10}) {
    const EncodedFrame encoded = Encode(format, lookup);
    ASSERT_GE(encoded.bytes.size(), FrameBytesNeeded(format, W, H));
    for (int mode = -1; mode <= DEBAYER_PREVIEW + 1; ++mode) {
      SCOPED_TRACE(testing::Message() << "format " << format << ", mode " << mode);
      Buffers buffers;
      TRenderFrame frame;
      ASSERT_TRUE(UnpackFrame(format, encoded.bytes.data(),
                              static_cast<std::uint32_t>(encoded.bytes.size()), W, H,
                              buffers.view(), frame));
      EXPECT_EQ(frame.rawBits, encoded.rawBits);
      MapFrameTo8Bit(frame, {lookup.lut10, lookup.lut12}, buffers.view());
      ASSERT_EQ(std::vector<std::uint8_t>(frame.samples, frame.samples + N), encoded.samples);
      if (encoded.rawBits > 8) {
        const auto* wide = static_cast<const std::uint16_t*>(frame.raw);
        for (int i = 0; i < N; ++i) ASSERT_EQ(wide[i], Sample(i, encoded.rawBits)) << i;
      }

      DemosaicFrame(frame, mode, buffers.view());
      const bool colour = mode > DEBAYER_MONO && mode <= DEBAYER_PREVIEW;
      EXPECT_TRUE(frame.demosaiced);
      EXPECT_EQ(frame.pictureBits, colour ? 24 : 8);
      const int drawnW = mode == DEBAYER_PREVIEW ? W / 2 : W;
      const int drawnH = mode == DEBAYER_PREVIEW ? H / 2 : H;
      EXPECT_EQ(frame.width, drawnW);
      EXPECT_EQ(frame.height, drawnH);
      std::vector<std::uint8_t> expected = encoded.samples;
      if (colour) {
        expected.assign(std::size_t{3} * N, 0);
        Debayer8Member(mode, DEBAYER_8TO24, BAYER_GBRG)(encoded.samples.data(), W, H,
                                                        expected.data());
        expected.resize(std::size_t{3} * drawnW * drawnH);
      }
      EXPECT_EQ(std::vector<std::uint8_t>(frame.picture, frame.picture + expected.size()),
                expected);
    }
  }
}

TEST(RenderCore, UnknownFormatAndRefusedSizeKeepTheBuffers) {
  Buffers buffers;
  TRenderFrame frame;
  frame.width = 99;
  const std::uint8_t bytes[4] = {};
  for (std::uint32_t format : {0u, 5u}) {
    EXPECT_FALSE(UnpackFrame(format, bytes, 4, 2, 2, buffers.view(), frame));
    EXPECT_EQ(frame.width, 99);
    EXPECT_EQ(FrameBytesNeeded(format, 2, 2), 0u);
  }
  // One byte fewer than the frame needs is refused in every format; exactly
  // enough decodes.
  const std::vector<std::uint8_t> record(FrameBytesNeeded(STREAM_PACKED12, W, H), 0);
  for (std::uint32_t format : {STREAM_RAW8, STREAM_PACKED12, STREAM_COMPRESSED8, STREAM_PACKED10}) {
    SCOPED_TRACE(format);
    const auto needed = static_cast<std::uint32_t>(FrameBytesNeeded(format, W, H));
    frame.width = 99;
    EXPECT_FALSE(UnpackFrame(format, record.data(), needed - 1, W, H, buffers.view(), frame));
    EXPECT_EQ(frame.width, 99);
    EXPECT_TRUE(UnpackFrame(format, record.data(), needed, W, H, buffers.view(), frame));
  }
  // A single pixel is too small for every demosaic: the previous picture
  // stays in image24 and is what the frame shows.
  for (int mode = DEBAYER_BAYER; mode <= DEBAYER_PREVIEW; ++mode) {
    SCOPED_TRACE(mode);
    ASSERT_TRUE(UnpackFrame(STREAM_RAW8, bytes, 1, 1, 1, buffers.view(), frame));
    DemosaicFrame(frame, mode, buffers.view());
    EXPECT_FALSE(frame.demosaiced);
    EXPECT_EQ(frame.picture, buffers.image24.data());
    EXPECT_EQ(buffers.image24[0], 0xEE);
  }
}

TEST(RenderCore, GreyIsWidenedForCopyAndSaveColourIsNot) {
  Buffers buffers;
  const std::uint8_t grey[4] = {0, 9, 128, 255};
  TRenderFrame frame;
  ASSERT_TRUE(UnpackFrame(STREAM_RAW8, grey, 4, 2, 2, buffers.view(), frame));
  TBitmapInfoHeader header{};
  FillTopDownHeader(header, 2, 2, 8);
  WidenGreyPicture(frame, buffers.view(), header);
  EXPECT_EQ(header.biBitCount, 24);
  const std::vector<std::uint8_t> widened = {0, 0, 0, 9, 9, 9, 128, 128, 128, 255, 255, 255};
  EXPECT_EQ(std::vector<std::uint8_t>(buffers.image24.begin(), buffers.image24.begin() + 12),
            widened);
  // A colour picture is in image24 already: neither it nor the header changes.
  frame.pictureBits = 24;
  buffers.image24[0] = 0x11;
  header.biBitCount = 0;
  WidenGreyPicture(frame, buffers.view(), header);
  EXPECT_EQ(buffers.image24[0], 0x11);
  EXPECT_EQ(header.biBitCount, 0);
}

TEST(RenderCore, BytesAFrameNeedsAndKnownModes) {
  struct Case {
    std::uint32_t format;
    int width, height;
    std::uint64_t bytes;
  };
  const Case cases[] = {
      {STREAM_RAW8, 1920, 1080, 1920u * 1080},
      {STREAM_PACKED12, 1920, 1080, 2880u * 1080},
      {STREAM_PACKED10, 1920, 1080, 2400u * 1080},
      {STREAM_PACKED12, 5, 3, 7 * 3},
      {STREAM_PACKED10, 15, 2, 18 * 2},
      {STREAM_COMPRESSED8, 1920, 1080, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FrameBytesNeeded(c.format, c.width, c.height), c.bytes) << c.format << " " << c.width;
  for (int mode = -2; mode <= 9; ++mode)
    EXPECT_EQ(KnownDebayerMode(mode), mode >= 1 && mode <= 7 ? mode : DEBAYER_MONO) << mode;
}

TEST(VideoPanelPlacement, CentredWhenSmallerAtTheScrollPositionOtherwise) {
  struct Case {
    int client, panel, scroll, offset;
  };
  const Case cases[] = {
      {100, 50, 7, 25},  {100, 51, 7, 24},    {100, 99, 0, 0},
      {100, 100, 7, -7}, {100, 150, 30, -30}, {0, 10, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CenteredPanelOffset(c.client, c.panel, c.scroll), c.offset)
        << c.client << " " << c.panel << " " << c.scroll;
}

}  // namespace
