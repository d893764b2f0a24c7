// Where the simulated camera meets the render core: for every stream format
// and regions asked for at awkward sizes, the frame the camera delivers for
// the region it grants holds at least the bytes the render core reads (a
// packed frame exactly them), and the core decodes it from a buffer of
// exactly the delivered bytes (the sanitizer build sees any read past it) to
// the picture of the 8-bit format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "QDV47B5API.h"
#include "common/FrameBuffers.h"
#include "common/RenderCore.h"
#include "imaging/streamformat.h"
#include "platform/handle.h"
#include "simcam/SimCamera.h"

namespace {

struct Buffers {
  std::vector<std::uint16_t> pixels16 = std::vector<std::uint16_t>(Pixels16Count);
  std::vector<std::uint8_t> pixels8 = std::vector<std::uint8_t>(FrameBufferSize);
  std::vector<std::uint8_t> image24 = std::vector<std::uint8_t>(Image24Size);
  TRenderBuffers view() { return {pixels16.data(), pixels8.data(), image24.data()}; }
};

// The default display lookups: 10- and 12-bit samples shifted to 8 bits.
struct DefaultLookup {
  std::uint8_t lut10[1024];
  std::uint8_t lut12[4096];
  DefaultLookup() {
    for (int i = 0; i < 1024; ++i) lut10[i] = static_cast<std::uint8_t>(i >> 2);
    for (int i = 0; i < 4096; ++i) lut12[i] = static_cast<std::uint8_t>(i >> 4);
  }
};

// Frame `number` in `format`, copied to a heap block of exactly its bytes.
struct Delivered {
  std::unique_ptr<std::uint8_t[]> bytes;
  DWORD count = 0;
};
Delivered Grab(DeviceHandle handle, simcam::SimCamera& camera, std::uint32_t format,
               std::uint64_t number) {
  Delivered frame;
  EXPECT_TRUE(SetStreamStatus(handle, format));
  camera.SetFrameNumber(number);
  std::vector<std::uint8_t> buffer(FrameBufferSize);
  EXPECT_TRUE(GetFrame(handle, buffer.data(), FrameBufferSize, &frame.count));
  frame.bytes.reset(new std::uint8_t[frame.count]);
  std::memcpy(frame.bytes.get(), buffer.data(), frame.count);
  return frame;
}

TEST(StreamFormats, TheCameraDeliversWhatTheRenderCoreReadsAtEverySize) {
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  camera.SetTiming(simcam::Timing::Deterministic);
  const platform::UniqueHandle device(OpenCamera(0));
  ASSERT_TRUE(device);
  struct Asked {
    std::uint32_t width, height;
  };
  const Asked sizes[] = {{0, 0},       {1, 1},       {2, 2},          {15, 3},     {17, 5},
                         {33, 7},      {31, 1079},   {641, 481},      {1000, 333}, {1919, 1081},
                         {1920, 1080}, {5000, 5000}, {0xFFFFFFFFu, 3}};
  const DefaultLookup lookup;
  Buffers buffers;
  for (const Asked& asked : sizes) {
    ViewPortRecord region{};
    region.SizeX = asked.width;
    region.SizeY = asked.height;
    ASSERT_TRUE(UpdateViewPort(device.get(), &region));
    const auto width = static_cast<std::int32_t>(region.SizeX);
    const auto height = static_cast<std::int32_t>(region.SizeY);
    const auto samples = static_cast<std::size_t>(width) * height;
    const Delivered picture = Grab(device.get(), camera, STREAM_RAW8, 5);
    ASSERT_EQ(picture.count, samples);
    for (const StreamFormatInfo& format : StreamFormats) {
      SCOPED_TRACE(testing::Message()
                   << "format " << format.code << ", asked " << asked.width << " x " << asked.height
                   << ", granted " << width << " x " << height);
      const Delivered frame = Grab(device.get(), camera, format.code, 5);
      const std::uint64_t needed = FrameBytesNeeded(format.code, width, height);
      EXPECT_GE(frame.count, needed);
      if (format.lineRecords == 0) {
        EXPECT_EQ(frame.count, needed);
      }
      TRenderFrame decoded;
      ASSERT_TRUE(UnpackFrame(format.code, frame.bytes.get(), frame.count, width, height,
                              buffers.view(), decoded));
      EXPECT_EQ(decoded.rawBits, format.bitsPerSample);
      MapFrameTo8Bit(decoded, {lookup.lut10, lookup.lut12}, buffers.view());
      ASSERT_EQ(std::memcmp(decoded.samples, picture.bytes.get(), samples), 0);
    }
  }
}

}  // namespace
