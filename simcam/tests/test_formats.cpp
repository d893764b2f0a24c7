// Stream formats, read through the driver API and decoded with the image
// library: every format gives the picture of the 8-bit format for the same
// frame, compressed records round-trip exactly, the lookup tables act per
// colour, and a buffer too small for the frame fails.
#include <gtest/gtest.h>

#include <numeric>

#include "imaging/decode.h"
#include "imaging/encode.h"
#include "simcam/tests/support_camera.h"

namespace simcam_test {
namespace {

constexpr DWORD kFormats[] = {QDV_STREAM_RAW8, QDV_STREAM_PACKED12, QDV_STREAM_COMPRESSED8,
                              QDV_STREAM_PACKED10};

std::size_t FixedSize(DWORD format, std::size_t width, std::size_t height) {
  switch (format) {
    case QDV_STREAM_RAW8: return width * height;
    case QDV_STREAM_PACKED12: return width * height * 3 / 2;
    default: return width * height * 10 / 8;
  }
}

class FormatTest : public CameraTest {
 protected:
  // Every format of frame `frame` decodes to its 8-bit picture, at the size
  // of the current region.
  void ExpectEveryFormatDecodesToTheEightBitPicture(std::uint64_t frame, int width, int height) {
    const std::vector<std::uint8_t> raw8 = GrabFrame(QDV_STREAM_RAW8, frame);
    ASSERT_EQ(raw8.size(), FixedSize(QDV_STREAM_RAW8, width, height));
    for (DWORD format : kFormats) {
      SCOPED_TRACE(format);
      const std::vector<std::uint8_t> data = GrabFrame(format, frame);
      if (format != QDV_STREAM_COMPRESSED8) {
        EXPECT_EQ(data.size(), FixedSize(format, width, height));
      }
      EXPECT_EQ(DecodeTo8(format, data, width, height), raw8);
    }
  }
};

TEST_F(FormatTest, EveryFormatDecodesToTheEightBitPicture) {
  ExpectEveryFormatDecodesToTheEightBitPicture(7, 1920, 1080);
}

TEST_F(FormatTest, EveryFormatDecodesToTheEightBitPictureInARegion) {
  const ViewPortRecord v = SetRegion(302, 118, 640, 480);
  ASSERT_EQ(v.Width, 640u);
  ASSERT_EQ(v.Height, 480u);
  ExpectEveryFormatDecodesToTheEightBitPicture(123, 640, 480);
}

TEST_F(FormatTest, CompressedRecordsRoundTripExactly) {
  SetRegion(0, 0, 1920, 1080);
  const std::vector<std::uint8_t> raw8 = GrabFrame(QDV_STREAM_RAW8, 31);
  const std::vector<std::uint8_t> frame = GrabFrame(QDV_STREAM_COMPRESSED8, 31);
  ASSERT_GT(frame.size(), 8u);
  // The records come in row order, each exactly as long as its payload, and a
  // 4-byte record with line 0 ends the frame.
  std::size_t at = 0;
  for (std::uint32_t line = 1; line <= 1080; ++line) {
    ASSERT_LE(at + 8, frame.size());
    const std::uint32_t payload = frame[at] | frame[at + 1] << 8;
    const std::uint32_t number = frame[at + 2] | frame[at + 3] << 8;
    ASSERT_EQ(number, line);
    ASSERT_EQ(payload % 2, 0u);
    at += 4 + payload;
  }
  ASSERT_EQ(at + 4, frame.size());
  EXPECT_EQ(frame[at + 2] | frame[at + 3] << 8, 0);

  std::vector<std::uint8_t> decoded(raw8.size(), 0xEE);
  const std::uint32_t consumed = DecodeCompressedLines(
      frame.data(), static_cast<std::uint32_t>(frame.size()), 1920, 1080, decoded.data());
  EXPECT_EQ(consumed, frame.size() - 4);
  EXPECT_EQ(decoded, raw8);
  // Records are the shortest code for each difference: the encoder gives the
  // same bytes again, and the frame is well below the 8-bit size.
  std::vector<std::uint8_t> again(CompressedLinesBound(1920, 1080));
  again.resize(EncodeCompressedLines(decoded.data(), 1920, 1080, again.data(),
                                     static_cast<std::uint32_t>(again.size())));
  EXPECT_EQ(again, frame);
  EXPECT_LT(frame.size(), raw8.size());
}

TEST_F(FormatTest, FrameThatDoesNotFitFailsWithReadFault) {
  SetRegion(0, 0, 320, 240);
  for (DWORD format : kFormats) {
    SCOPED_TRACE(format);
    const std::size_t size = GrabFrame(format, 3).size();
    std::vector<std::uint8_t> buffer(size);
    DWORD bytes = 12345;
    camera_->SetFrameNumber(3);
    EXPECT_FALSE(GetFrame(h_, buffer.data(), static_cast<DWORD>(size - 1), &bytes));
    EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
    camera_->SetFrameNumber(3);
    EXPECT_TRUE(GetFrame(h_, buffer.data(), static_cast<DWORD>(size), &bytes));
    EXPECT_EQ(bytes, size);
  }
  EXPECT_FALSE(GetFrame(h_, nullptr, 100, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FormatTest, RenderedFrameEqualsTheStreamedFrame) {
  SetRegion(64, 64, 256, 128);
  for (DWORD format : kFormats) {
    SCOPED_TRACE(format);
    const std::vector<std::uint8_t> streamed = GrabFrame(format, 99);
    std::vector<std::uint8_t> rendered(kFrameBufferBytes);
    DWORD bytes = 0;
    ASSERT_EQ(camera_->RenderFrame(99, rendered.data(), kFrameBufferBytes, bytes), 0u);
    rendered.resize(bytes);
    EXPECT_EQ(rendered, streamed);
    EXPECT_EQ(camera_->RenderFrame(99, rendered.data(), 10, bytes), simcam::kErrorBufferTooSmall);
  }
}

// ---------------------------------------------------------------------------
// Lookup tables

TEST_F(FormatTest, ColourTablesActPerSiteColour) {
  SetRegion(0, 0, 1920, 1080);
  const std::vector<std::uint16_t> samples =
      Unpack(QDV_STREAM_PACKED12, GrabFrame(QDV_STREAM_PACKED12, 5), 1920, 1080);
  std::vector<std::uint16_t> table(3 * 4096);
  for (int s = 0; s < 4096; ++s) {
    table[s] = static_cast<std::uint16_t>(255 - (s >> 4));  // red: inverted
    table[4096 + s] = static_cast<std::uint16_t>(s >> 4);   // green: default
    table[8192 + s] = 77;                                   // blue: constant
  }
  ASSERT_TRUE(SetColorLookupTable(h_, table.data()));
  const std::vector<std::uint8_t> picture = GrabFrame(QDV_STREAM_RAW8, 5);
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const std::size_t x = i % 1920, y = i / 1920;
    const int colour = (y % 2 == 0) ? (x % 2 == 0 ? 1 : 2) : (x % 2 == 0 ? 0 : 1);
    ASSERT_EQ(picture[i], table[colour * 4096 + samples[i]]) << "at " << x << "," << y;
  }
  // The 12-bit format delivers the samples themselves, whatever the table.
  EXPECT_EQ(Unpack(QDV_STREAM_PACKED12, GrabFrame(QDV_STREAM_PACKED12, 5), 1920, 1080), samples);
  // The compressed format carries the mapped picture too.
  EXPECT_EQ(DecodeTo8(QDV_STREAM_COMPRESSED8, GrabFrame(QDV_STREAM_COMPRESSED8, 5), 1920, 1080),
            picture);
}

TEST_F(FormatTest, TableValuesAreClippedToTheFormat) {
  SetRegion(0, 0, 256, 64);
  std::vector<std::uint16_t> mono(4096);
  for (int s = 0; s < 4096; ++s) mono[s] = static_cast<std::uint16_t>(s / 4 + 200);  // up to 1223
  ASSERT_TRUE(SetMonoLookupTable(h_, mono.data()));
  const std::vector<std::uint16_t> samples =
      Unpack(QDV_STREAM_PACKED12, GrabFrame(QDV_STREAM_PACKED12, 2), 256, 64);
  const std::vector<std::uint16_t> ten =
      Unpack(QDV_STREAM_PACKED10, GrabFrame(QDV_STREAM_PACKED10, 2), 256, 64);
  const std::vector<std::uint8_t> eight = GrabFrame(QDV_STREAM_RAW8, 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(ten[i], std::min<int>(mono[samples[i]], 1023));
    ASSERT_EQ(eight[i], std::min<int>(mono[samples[i]], 255));
  }
}

TEST_F(FormatTest, DefaultTableFollowsTheFormat) {
  std::vector<std::uint16_t> table(3 * 4096);
  ASSERT_TRUE(GetColorLookupTable(h_, table.data()));
  for (int c = 0; c < 3; ++c)
    for (int s : {0, 15, 16, 2048, 4095}) EXPECT_EQ(table[c * 4096 + s], s >> 4);
  ASSERT_TRUE(SetStreamStatus(h_, QDV_STREAM_PACKED10));
  ASSERT_TRUE(GetColorLookupTable(h_, table.data()));
  for (int c = 0; c < 3; ++c)
    for (int s : {0, 3, 4, 2048, 4095}) EXPECT_EQ(table[c * 4096 + s], s >> 2);

  std::vector<std::uint16_t> mono(4096, 9);
  ASSERT_TRUE(SetMonoLookupTable(h_, mono.data()));
  ASSERT_TRUE(GetColorLookupTable(h_, table.data()));
  EXPECT_EQ(table, std::vector<std::uint16_t>(3 * 4096, 9));
  ASSERT_TRUE(SetDefaultLookupTable(h_));
  ASSERT_TRUE(GetColorLookupTable(h_, table.data()));
  EXPECT_EQ(table[4095], 1023);
}

}  // namespace
}  // namespace simcam_test
