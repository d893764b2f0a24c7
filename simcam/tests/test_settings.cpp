// Settings the camera stores and reads back, the region-of-interest rules,
// the camera identity and the command packets, through the driver API.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support_camera.h"

namespace simcam_test {
namespace {

using SettingsTest = CameraTest;

TEST_F(SettingsTest, PowerOnValues) {
  DWORD v = 99;
  ASSERT_TRUE(GetStreamStatus(h_, &v));
  EXPECT_EQ(v, QDV_STREAM_OFF);
  ASSERT_TRUE(GetFrameWaitTimeout(h_, &v));
  EXPECT_EQ(v, 5000u);
  ASSERT_TRUE(GetColorEnhancement(h_, &v));
  EXPECT_EQ(v, 64u);
  for (auto get : {GetTriggerControl, GetSDRAMStatus, GetMedianFilterType, GetInterPacketGapDelay,
                   GetParam227, GetWhiteBalanceFlags, GetExternalInputStatus}) {
    v = 99;
    ASSERT_TRUE(get(h_, &v));
    EXPECT_EQ(v, 0u);
  }
}

struct StoredSetting {
  const char* name;
  BOOL (*set)(DeviceHandle, DWORD);
  BOOL (*get)(DeviceHandle, DWORD*);
  std::vector<DWORD> accepted;
  std::vector<DWORD> refused;
};

TEST_F(SettingsTest, StoredSettingsReadBack) {
  const StoredSetting settings[] = {
      {"timeout", SetFrameWaitTimeout, GetFrameWaitTimeout, {0, 250, 0xFFFFFFFF}, {}},
      {"frequency", SetFrequency, GetFrequency, {0, 3, 8}, {9, 100}},
      {"trigger", SetTriggerControl, GetTriggerControl, {1, 2, 4, 8, 16, 31}, {}},
      {"sdram", SetSDRAMStatus, GetSDRAMStatus, {1, 0}, {}},
      {"median", SetMedianFilterType, GetMedianFilterType, {0, 1, 2}, {3}},
      {"gap", SetInterPacketGapDelay, GetInterPacketGapDelay, {0, 1000, 65535}, {65536}},
      {"param227", SetParam227, GetParam227, {0, 0xDEADBEEF}, {}},
      {"white balance", SetWhiteBalanceFlags, GetWhiteBalanceFlags, {0, 1, 3}, {2, 4}},
      {"colour enhancement", SetColorEnhancement, GetColorEnhancement, {0, 128, 64}, {}},
      {"stream", SetStreamStatus, GetStreamStatus, {1, 2, 3, 4, 0}, {5}},
  };
  for (const StoredSetting& s : settings) {
    SCOPED_TRACE(s.name);
    for (DWORD value : s.accepted) {
      ASSERT_TRUE(s.set(h_, value));
      DWORD read = ~value;
      ASSERT_TRUE(s.get(h_, &read));
      EXPECT_EQ(read, value);
    }
    const DWORD last = s.accepted.back();
    for (DWORD value : s.refused) {
      EXPECT_FALSE(s.set(h_, value));
      EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
      DWORD read = ~last;
      ASSERT_TRUE(s.get(h_, &read));
      EXPECT_EQ(read, last);
    }
  }
}

TEST_F(SettingsTest, FrequencyCodesGiveTheClockTable) {
  const double mhz[] = {9.765625, 18.0, 19.53125, 26.041666, 36.0, 52.083333, 64.8, 74.769231,
                        69.428571};
  for (DWORD code = 0; code < 9; ++code) {
    ASSERT_TRUE(SetFrequency(h_, code));
    double read = 0;
    ASSERT_TRUE(GetFrequencyMhz(h_, &read));
    EXPECT_EQ(read, mhz[code]);
  }
}

TEST_F(SettingsTest, CameraIdentityIsFixed) {
  CameraInfoRecord a{}, b{};
  ASSERT_TRUE(GetCameraInfo(h_, &a));
  ASSERT_TRUE(GetCameraInfo(h_, &b));
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  char serial[64];
  std::snprintf(serial, sizeof serial, "%d.%d.%d.%d.%d", static_cast<int>(a.Id4), a.Id0, a.Id2,
                a.Id8, a.Id10);
  EXPECT_EQ(std::string(serial), "470501.2.1.3.12");
}

TEST_F(SettingsTest, CommandPackets) {
  EXPECT_TRUE(ResetSensor(h_));
  EXPECT_TRUE(SendModeCommand(h_, 1));
  EXPECT_TRUE(SendModeCommand(h_, -1));
  EXPECT_TRUE(SendCommand0A(h_, 0x1234));
  EXPECT_TRUE(SendCommand0C(h_, 0x1FFF));
  EXPECT_TRUE(SendCommand10(h_, 1));
  EXPECT_TRUE(SendCommand11(h_, 0));
  std::uint8_t unknown[4] = {0x7F, 0, 0, 0};
  EXPECT_FALSE(SendCommand(h_, unknown, 4, nullptr, 0, nullptr));
  std::uint8_t badReset[4] = {0x01, 0x6B, 0x65, 0};
  EXPECT_FALSE(SendCommand(h_, badReset, 4, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
}

// ---------------------------------------------------------------------------
// Region of interest

TEST_F(SettingsTest, RegionIsTheNearestTheSensorCanDeliver) {
  ViewPortRecord v = SetRegion(1, 3, 100, 101);
  EXPECT_EQ(v.StartX, 0u);
  EXPECT_EQ(v.StartY, 2u);
  EXPECT_EQ(v.SizeX, 96u);
  EXPECT_EQ(v.SizeY, 100u);

  v = SetRegion(1900, 1070, 204, 50);  // moved back inside the sensor
  EXPECT_EQ(v.SizeX, 208u);
  EXPECT_EQ(v.StartX, 1920u - 208u);
  EXPECT_EQ(v.SizeY, 50u);
  EXPECT_EQ(v.StartY, 1030u);

  v = SetRegion(0, 0, 0, 1);  // at least 16 x 2
  EXPECT_EQ(v.SizeX, 16u);
  EXPECT_EQ(v.SizeY, 2u);

  v = SetRegion(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(v.StartX, 0u);
  EXPECT_EQ(v.StartY, 0u);
  EXPECT_EQ(v.SizeX, 1920u);
  EXPECT_EQ(v.SizeY, 1080u);

  v = SetRegion(10, 20, 1000, 600);  // halfway between two widths: the smaller
  EXPECT_EQ(v.SizeX, 992u);
  ViewPortRecord read{};
  ASSERT_TRUE(GetViewPort(h_, &read));
  EXPECT_EQ(std::memcmp(&read, &v, sizeof v), 0);
}

TEST_F(SettingsTest, RegionSizeIsTheFrameSizeAndOtherFieldsPassThrough) {
  ViewPortRecord v{};
  v.StartX = 64;
  v.StartY = 32;
  v.SizeX = 320;
  v.SizeY = 240;
  v.DecBinX = 1;
  v.DecBinY = 2;
  v.OffsetX = 3;
  v.OffsetY = 4;
  v.Width = 999;
  v.Height = 888;
  v.res1 = 5;
  v.res6 = 10;
  ASSERT_TRUE(SetViewPort(h_, &v));
  ViewPortRecord read{};
  ASSERT_TRUE(GetViewPort(h_, &read));
  EXPECT_EQ(read.Width, 320u);
  EXPECT_EQ(read.Height, 240u);
  EXPECT_EQ(read.DecBinX, 1u);
  EXPECT_EQ(read.DecBinY, 2u);
  EXPECT_EQ(read.OffsetX, 3u);
  EXPECT_EQ(read.OffsetY, 4u);
  EXPECT_EQ(read.res1, 5u);
  EXPECT_EQ(read.res6, 10u);
}

TEST_F(SettingsTest, RegionFrameIsACropOfTheFullFrame) {
  const std::vector<std::uint8_t> full = GrabFrame(QDV_STREAM_RAW8, 40);
  const ViewPortRecord v = SetRegion(900, 850, 160, 120);  // crosses the moving ball's track
  const std::vector<std::uint8_t> part = GrabFrame(QDV_STREAM_RAW8, 40);
  ASSERT_EQ(part.size(), 160u * 120u);
  for (std::uint32_t y = 0; y < v.Height; ++y)
    for (std::uint32_t x = 0; x < v.Width; ++x)
      ASSERT_EQ(part[y * v.Width + x], full[(y + v.StartY) * 1920 + x + v.StartX]) << x << "," << y;
}

}  // namespace
}  // namespace simcam_test
