// Settings the camera stores and reads back, the region-of-interest rules,
// the camera identity and the command packets, through the driver API.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "simcam/tests/support_camera.h"

namespace simcam_test {
namespace {

using SettingsTest = CameraTest;

struct StoredSetting {
  BOOL (*set)(DeviceHandle, DWORD);
  BOOL (*get)(DeviceHandle, DWORD*);
  DWORD powerOn;
  std::vector<DWORD> accepted;
  std::vector<DWORD> refused;
};

TEST_F(SettingsTest, StoredSettingsReadBack) {
  const StoredSetting settings[] = {
      {SetFrameWaitTimeout, GetFrameWaitTimeout, 5000, {0, 250, 0xFFFFFFFF}, {}},
      {SetFrequency, GetFrequency, 6, {0, 3, 8}, {9, 100}},
      {SetTriggerControl, GetTriggerControl, 0, {1, 2, 4, 8, 16, 31}, {}},
      {SetSDRAMStatus, GetSDRAMStatus, 0, {1, 0}, {}},
      {SetMedianFilterType, GetMedianFilterType, 0, {0, 1, 2}, {3}},
      {SetInterPacketGapDelay, GetInterPacketGapDelay, 0, {1000, 65535}, {65536}},
      {SetParam227, GetParam227, 0, {0xDEADBEEF}, {}},
      {SetWhiteBalanceFlags, GetWhiteBalanceFlags, 0, {0, 1, 3}, {2, 4}},
      {SetColorEnhancement, GetColorEnhancement, 64, {0, 128}, {}},
      {SetStreamStatus, GetStreamStatus, 0, {1, 2, 3, 4, 0}, {5}},
  };
  for (std::size_t i = 0; i < std::size(settings); ++i) {
    const StoredSetting& s = settings[i];
    SCOPED_TRACE(i);
    DWORD read = 0xBAD;
    ASSERT_TRUE(s.get(h_, &read));
    EXPECT_EQ(read, s.powerOn);
    for (DWORD value : s.accepted) {
      ASSERT_TRUE(s.set(h_, value));
      ASSERT_TRUE(s.get(h_, &read));
      EXPECT_EQ(read, value);
    }
    for (DWORD value : s.refused) {
      EXPECT_FALSE(s.set(h_, value));
      EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
      ASSERT_TRUE(s.get(h_, &read));
      EXPECT_EQ(read, s.accepted.back());
    }
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
  EXPECT_TRUE(SendModeCommand(h_, -1));
  EXPECT_TRUE(SendCommand0C(h_, 0x1FFF));
  EXPECT_TRUE(SendCommand11(h_, 1));
  for (std::uint8_t packet0 : {0x7F, 0x01}) {  // unknown; reset without its key 6B 64
    std::uint8_t packet[4] = {packet0, 0x6B, 0x65, 0};
    EXPECT_FALSE(SendCommand(h_, packet, 4, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  }
}

// ---------------------------------------------------------------------------
// Region of interest

TEST_F(SettingsTest, RegionIsTheNearestTheSensorCanDeliver) {
  struct Rect {
    std::uint32_t x, y, width, height;
  };
  struct Case {
    Rect want, granted;
  };
  const Case cases[] = {
      {{1, 3, 100, 101}, {0, 2, 96, 100}},
      {{1900, 1070, 204, 50}, {1712, 1030, 208, 50}},  // moved back inside the sensor
      {{0, 0, 0, 1}, {0, 0, 16, 2}},
      {{10, 20, 1000, 600}, {10, 20, 992, 600}},  // halfway between two widths: the smaller
      {{~0u, ~0u, ~0u, ~0u}, {0, 0, 1920, 1080}},
  };
  for (const Case& c : cases) {
    const ViewPortRecord v = SetRegion(c.want.x, c.want.y, c.want.width, c.want.height);
    EXPECT_EQ(v.StartX, c.granted.x);
    EXPECT_EQ(v.StartY, c.granted.y);
    EXPECT_EQ(v.SizeX, c.granted.width);
    EXPECT_EQ(v.SizeY, c.granted.height);
    ViewPortRecord read{};
    ASSERT_TRUE(GetViewPort(h_, &read));
    EXPECT_EQ(std::memcmp(&read, &v, sizeof v), 0);
  }
}

TEST_F(SettingsTest, RegionSizeIsTheFrameSizeAndOtherFieldsPassThrough) {
  const ViewPortRecord v{64, 32, 320, 240, 1, 2, 3, 4, 999, 888, 5, 6, 7, 8, 9, 10};
  ASSERT_TRUE(SetViewPort(h_, &v));
  ViewPortRecord read{};
  ASSERT_TRUE(GetViewPort(h_, &read));
  ViewPortRecord expected = v;
  expected.Width = 320;
  expected.Height = 240;
  EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0);
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
