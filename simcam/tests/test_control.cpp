// The control surface: injected failures and the last-error codes the
// driver API turns them into, an absent device, request counts, power-on
// reset and frame determinism; and malformed requests sent directly.
#include <gtest/gtest.h>

#include <cstring>

#include "simcam/tests/support_camera.h"

namespace simcam_test {
namespace {

using ControlTest = CameraTest;

TEST_F(ControlTest, InjectedFailuresGiveTheDriverApiErrorCodes) {
  camera_->FailRequests(QDV_IOCTL_CAMERA_INFO);
  CameraInfoRecord info{};
  info.Id4 = 77;
  EXPECT_FALSE(GetCameraInfo(h_, &info));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(info.Id4, 77u);  // left as it was

  camera_->FailRequests(QDV_IOCTL_GET_FRAME);
  ASSERT_TRUE(SetStreamStatus(h_, QDV_STREAM_RAW8));
  std::vector<std::uint8_t> buffer(kFrameBufferBytes);
  DWORD bytes = 0;
  EXPECT_FALSE(GetFrame(h_, buffer.data(), kFrameBufferBytes, &bytes));
  EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
  EXPECT_TRUE(GetFrameAlt(h_, buffer.data(), kFrameBufferBytes, &bytes));  // its own code

  camera_->FailRequests(QDV_IOCTL_LOOKUP_TABLE);
  std::vector<std::uint16_t> table(3 * 4096);
  EXPECT_FALSE(GetColorLookupTable(h_, table.data()));
  EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
  EXPECT_FALSE(SetColorLookupTable(h_, table.data()));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_FALSE(SetMonoLookupTable(h_, table.data()));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_FALSE(SetDefaultLookupTable(h_));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);

  camera_->FailRequests(QDV_IOCTL_GET_SENSOR_REG);
  double fps = 0;
  EXPECT_FALSE(GetFrameRate(h_, &fps));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);

  camera_->ClearFailures();
  EXPECT_TRUE(GetCameraInfo(h_, &info));
  EXPECT_TRUE(GetFrame(h_, buffer.data(), kFrameBufferBytes, &bytes));
  EXPECT_TRUE(GetColorLookupTable(h_, table.data()));
  EXPECT_TRUE(GetFrameRate(h_, &fps));
}

TEST_F(ControlTest, CountedFailuresAndTheirErrorCode) {
  camera_->FailRequests(QDV_IOCTL_FREQUENCY, 2, 1234);
  DWORD code = 0, returned = 0;
  // Seen directly, the request fails with the injected code.
  EXPECT_FALSE(DeviceIoControl(h_, QDV_IOCTL_FREQUENCY, nullptr, 0, &code, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_FALSE(GetFrequency(h_, &code));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_TRUE(GetFrequency(h_, &code));  // the third succeeds
  EXPECT_EQ(code, 6u);
  StatisticsRecord s{};
  ASSERT_TRUE(GetStatistics(h_, &s));
  EXPECT_EQ(s.ControlError, 2u);
}

TEST_F(ControlTest, AbsentDeviceCannotBeOpened) {
  camera_->SetAbsent(true);
  EXPECT_EQ(OpenCamera(0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), simcam::kErrorDeviceAbsent);
  DWORD status = 0;
  EXPECT_TRUE(GetStreamStatus(h_, &status));  // an open handle keeps working
  camera_->SetAbsent(false);
  DeviceHandle other = OpenCamera(35);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseCamera(other));
}

TEST_F(ControlTest, RequestsAreCountedPerControlCode) {
  CameraInfoRecord info{};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(GetCameraInfo(h_, &info));
  camera_->FailRequests(QDV_IOCTL_CAMERA_INFO, 1);
  EXPECT_FALSE(GetCameraInfo(h_, &info));
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_CAMERA_INFO), 4u);  // failed ones too
  double fps = 0;
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_GET_SENSOR_REG), 13u);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_FREQUENCY), 1u);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_SDRAM_STATUS), 1u);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_VIEWPORT), 0u);
  camera_->ResetRequestCounts();
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_CAMERA_INFO), 0u);
}

// Everything the driver API reads back, as one comparable list.
std::vector<std::uint64_t> ReadBack(DeviceHandle h) {
  std::vector<std::uint64_t> values;
  for (auto get :
       {GetStreamStatus, GetFrameWaitTimeout, GetFrequency, GetTriggerControl,
        GetExternalInputStatus, GetSDRAMStatus, GetMedianFilterType, GetInterPacketGapDelay,
        GetParam227, GetWhiteBalanceFlags, GetColorEnhancement}) {
    DWORD v = 0xBAD;
    EXPECT_TRUE(get(h, &v));
    values.push_back(v);
  }
  for (std::uint32_t reg = 0; reg < 256; ++reg) {
    std::uint16_t word = static_cast<std::uint16_t>(reg << 8);
    EXPECT_TRUE(GetSensorReg(h, &word));
    values.push_back(word);
  }
  std::vector<std::uint16_t> table(3 * 4096);
  EXPECT_TRUE(GetColorLookupTable(h, table.data()));
  values.insert(values.end(), table.begin(), table.end());
  ViewPortRecord region{};
  EXPECT_TRUE(GetViewPort(h, &region));
  const auto* fields = reinterpret_cast<const std::uint32_t*>(&region);
  values.insert(values.end(), fields, fields + 16);
  StatisticsRecord s{};
  EXPECT_TRUE(GetStatistics(h, &s));
  values.insert(values.end(), {s.FrameCount, s.FrameUser, s.PacketCount, s.PacketLost});
  return values;
}

TEST_F(ControlTest, PowerOnRestoresEverything) {
  const std::vector<std::uint64_t> powerOn = ReadBack(h_);
  const std::uint32_t seed = camera_->Seed();
  ASSERT_TRUE(SetStreamStatus(h_, QDV_STREAM_PACKED10));
  for (std::uint64_t i = 0; i < 3; ++i) Grab();
  ASSERT_TRUE(SetColorEnhancement(h_, 5));
  ASSERT_TRUE(SetGain(h_, 2000));
  std::vector<std::uint16_t> mono(4096, 3);
  ASSERT_TRUE(SetMonoLookupTable(h_, mono.data()));
  SetRegion(16, 16, 64, 64);
  camera_->SetExternalInput(1, true);
  camera_->SetPacketLoss(9);
  camera_->SetStalled(true);
  camera_->SetSeed(42);
  camera_->SetFrameNumber(1000);
  camera_->FailRequests(QDV_IOCTL_STATISTICS);
  camera_->SetAbsent(true);
  camera_->SetTiming(simcam::Timing::RealTime);

  camera_->PowerOn();
  EXPECT_EQ(camera_->GetTiming(), simcam::Timing::RealTime);
  EXPECT_EQ(camera_->FrameNumber(), 0u);
  EXPECT_EQ(camera_->Seed(), seed);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_STREAM_STATUS), 0u);
  EXPECT_EQ(ReadBack(h_), powerOn);    // statistics no longer failing, too
  DeviceHandle other = OpenCamera(0);  // present again
  EXPECT_NE(other, INVALID_HANDLE_VALUE);
  CloseHandle(other);
  // Not stalled: a started stream delivers.
  camera_->SetTiming(simcam::Timing::Deterministic);
  EXPECT_EQ(GrabFrame(QDV_STREAM_RAW8, 0).size(), 1920u * 1080u);
}

// ---------------------------------------------------------------------------
// Determinism

TEST_F(ControlTest, FramesDependOnSeedAndFrameNumberOnly) {
  SetRegion(0, 880, 1920, 176);  // the moving ball's track
  const std::vector<std::uint8_t> a = GrabFrame(QDV_STREAM_RAW8, 10);
  EXPECT_EQ(GrabFrame(QDV_STREAM_RAW8, 10), a);
  EXPECT_EQ(camera_->FrameNumber(), 11u);

  // The next frame differs: noise everywhere, and the ball has moved.
  const std::vector<std::uint8_t> b = Grab();
  ASSERT_EQ(b.size(), a.size());
  int moved = 0;
  for (std::size_t i = 0; i < a.size(); ++i) moved += std::abs(a[i] - b[i]) > 20;
  EXPECT_GT(moved, 500);

  // Another seed gives other noise but the same picture.
  camera_->SetSeed(camera_->Seed() + 1);
  const std::vector<std::uint8_t> c = GrabFrame(QDV_STREAM_RAW8, 10);
  EXPECT_NE(c, a);
  int large = 0;
  for (std::size_t i = 0; i < a.size(); ++i) large += std::abs(a[i] - c[i]) > 3;
  EXPECT_EQ(large, 0);
}

// ---------------------------------------------------------------------------
// Malformed requests sent directly to the device

TEST_F(ControlTest, MalformedRequestsAreRefused) {
  std::uint8_t buffer[64 * 1024] = {};
  DWORD returned = 0;
  struct Case {
    DWORD code;
    DWORD inSize;   // 0: no input
    DWORD outSize;  // 0: no output
    DWORD error;
  };
  const Case cases[] = {
      {0x12FFFC, 4, 4, simcam::kErrorUnknownRequest},
      {QDV_IOCTL_VIEWPORT, 10, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_VIEWPORT, 0, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_LOOKUP_TABLE, 100, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_LOOKUP_TABLE, 0, 8192, simcam::kErrorBadRequest},
      {QDV_IOCTL_STATISTICS, 64, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_GET_SENSOR_REG, 2, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_CAMERA_INFO, 0, 15, simcam::kErrorBadRequest},
      {QDV_IOCTL_EXTERNAL_INPUT, 4, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_STREAM_STATUS, 4, 4, simcam::kErrorBadRequest},
      {QDV_IOCTL_STREAM_STATUS, 2, 0, simcam::kErrorBadRequest},
      {QDV_IOCTL_GET_FRAME, 0, 0, simcam::kErrorBadRequest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << c.code << " in " << c.inSize << " out " << c.outSize);
    EXPECT_FALSE(DeviceIoControl(h_, c.code, c.inSize ? buffer : nullptr, c.inSize,
                                 c.outSize ? buffer : nullptr, c.outSize, &returned, nullptr));
    EXPECT_EQ(GetLastError(), c.error);
  }
  // None of them changed the stream.
  DWORD status = 9;
  ASSERT_TRUE(GetStreamStatus(h_, &status));
  EXPECT_EQ(status, QDV_STREAM_OFF);
}

}  // namespace
}  // namespace simcam_test
