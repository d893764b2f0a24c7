// Shared helpers of the simulated camera's tests.
#include "simcam/tests/support_camera.h"

#include "imaging/decode.h"

namespace simcam_test {

void CameraTest::SetUp() {
  camera_ = &simcam::Install();
  camera_->PowerOn();
  camera_->SetTiming(simcam::Timing::Deterministic);
  h_ = OpenCamera(0);
  ASSERT_NE(h_, INVALID_HANDLE_VALUE);
}

void CameraTest::TearDown() {
  if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  camera_->PowerOn();
}

std::vector<std::uint8_t> CameraTest::Grab(DWORD size) {
  std::vector<std::uint8_t> buffer(size);
  DWORD bytes = 0;
  EXPECT_TRUE(GetFrame(h_, buffer.data(), size, &bytes)) << "last error " << GetLastError();
  buffer.resize(bytes);
  return buffer;
}

std::vector<std::uint8_t> CameraTest::GrabFrame(DWORD format, std::uint64_t frame) {
  EXPECT_TRUE(SetStreamStatus(h_, format));
  camera_->SetFrameNumber(frame);
  return Grab();
}

ViewPortRecord CameraTest::SetRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                     std::uint32_t height) {
  ViewPortRecord v{};
  v.StartX = x;
  v.StartY = y;
  v.SizeX = width;
  v.SizeY = height;
  EXPECT_TRUE(UpdateViewPort(h_, &v));
  return v;
}

void CameraTest::WriteRegister(std::uint16_t word) { ASSERT_TRUE(SetSensorReg(h_, &word)); }

std::uint16_t CameraTest::ReadRegister(std::uint16_t select) {
  EXPECT_TRUE(GetSensorReg(h_, &select));
  return select;
}

std::vector<std::uint16_t> Unpack(DWORD format, const std::vector<std::uint8_t>& frame, int width,
                                  int height) {
  std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * height);
  if (format == QDV_STREAM_PACKED12)
    Unpack12Bit(frame.data(), width, height, samples.data());
  else
    Unpack10Bit(frame.data(), width, height, samples.data());
  return samples;
}

std::vector<std::uint8_t> DecodeTo8(DWORD format, const std::vector<std::uint8_t>& frame, int width,
                                    int height) {
  const std::size_t count = static_cast<std::size_t>(width) * height;
  std::vector<std::uint8_t> picture(count);
  switch (format) {
    case QDV_STREAM_RAW8: picture.assign(frame.begin(), frame.end()); break;
    case QDV_STREAM_COMPRESSED8:
      DecodeCompressedLines(frame.data(), static_cast<std::uint32_t>(frame.size()), width, height,
                            picture.data());
      break;
    case QDV_STREAM_PACKED12:
    case QDV_STREAM_PACKED10: {
      const int entries = format == QDV_STREAM_PACKED12 ? 4096 : 1024;
      const int shift = format == QDV_STREAM_PACKED12 ? 4 : 2;
      std::vector<std::uint8_t> table(entries);
      for (int i = 0; i < entries; ++i) table[i] = static_cast<std::uint8_t>(i >> shift);
      const std::vector<std::uint16_t> samples = Unpack(format, frame, width, height);
      ApplyLookupTable16To8(samples.data(), static_cast<std::int32_t>(count), table.data(),
                            picture.data());
      break;
    }
    default: ADD_FAILURE() << "unknown format " << format;
  }
  return picture;
}

}  // namespace simcam_test
