// The sensor registers through the driver API: power-on values, the select
// words of the wide fields, sensor reset, and the register arithmetic's
// worked examples for frame rate, exposure and gain.
#include <gtest/gtest.h>

#include "simcam/tests/support_camera.h"

namespace simcam_test {
namespace {

using RegisterTest = CameraTest;

TEST_F(RegisterTest, PowerOnGivesThirtyFramesPerSecondMidExposureAndNoGain) {
  double mhz = 0, fps = 0, gain = 1, ms = 0;
  ASSERT_TRUE(GetFrequencyMhz(h_, &mhz));
  EXPECT_EQ(mhz, 64.8);
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 30.0, 1e-9);
  DWORD line = 0, frame = 0, minRows = 1, maxRows = 0, rows = 0;
  ASSERT_TRUE(GetLineAndFrameClocks(h_, &line, &frame));
  EXPECT_EQ(line, 3200u);
  EXPECT_EQ(frame, 4320000u);
  ASSERT_TRUE(GetExposureMinMax(h_, &minRows, &maxRows));
  ASSERT_TRUE(GetExposure(h_, &rows));
  EXPECT_EQ(maxRows, 1349u);
  EXPECT_EQ(rows, 674u);
  ASSERT_TRUE(GetExposureMs(h_, &ms));
  EXPECT_NEAR(ms, 3200.0 * 675 * 1000 / (2000000 * 64.8), 1e-9);
  // The power-on timing is the one the frame-rate rule gives for its rate:
  // setting that rate again writes the same line and row fields.
  const std::uint16_t lineField = ReadRegister(0xA000), rowField = ReadRegister(0xCB00);
  ASSERT_TRUE(SetFrameRate(h_, 30.0));
  EXPECT_EQ(ReadRegister(0xA000), lineField);
  EXPECT_EQ(ReadRegister(0xCB00), rowField);
  ASSERT_TRUE(GetGain(h_, &gain));
  EXPECT_NEAR(gain, 0.0, 1e-12);
}

TEST_F(RegisterTest, WideFieldsHaveShorterSelects) {
  WriteRegister(0x87FF);  // exposure field, 11 bits
  EXPECT_EQ(ReadRegister(0x8000), 0x87FF);
  EXPECT_EQ(ReadRegister(0x8123), 0x87FF);  // value bits of the select are ignored
  for (std::uint16_t select : {0xA000, 0xA800, 0xAC00, 0xB000}) {
    WriteRegister(static_cast<std::uint16_t>(select + 0x2A5));
    EXPECT_EQ(ReadRegister(static_cast<std::uint16_t>(select + 0x3FF)), select + 0x2A5) << select;
  }
  // Past a wide field's high-byte values lie ordinary 8-bit registers.
  WriteRegister(0xB412);
  WriteRegister(0x8A01);
  EXPECT_EQ(ReadRegister(0xB400), 0xB412);
  EXPECT_EQ(ReadRegister(0x8AFF), 0x8A01);
  EXPECT_EQ(ReadRegister(0xB000), 0xB2A5);
  EXPECT_EQ(ReadRegister(0x8000), 0x87FF);
}

TEST_F(RegisterTest, ResetSensorRestoresThePowerOnRegisters) {
  std::vector<std::uint16_t> before;
  for (std::uint32_t reg = 0; reg < 256; ++reg) before.push_back(ReadRegister(reg << 8));
  for (std::uint32_t reg = 0; reg < 256; ++reg)
    WriteRegister(static_cast<std::uint16_t>(reg << 8 | 0x5A));
  ASSERT_TRUE(ResetSensor(h_));
  for (std::uint32_t reg = 0; reg < 256; ++reg) EXPECT_EQ(ReadRegister(reg << 8), before[reg]);
}

// The frame-period search on registers that are all 0 except 0xDB = 120, at
// 36 MHz: 50 fps is 1,440,000 clocks, met exactly by a = 265 and c = 162.
class WorkedExampleTest : public RegisterTest {
 protected:
  void SetUp() override {
    RegisterTest::SetUp();
    for (std::uint16_t s : {0xF200, 0xD100, 0xCF00, 0xD000, 0xD300, 0xD400, 0xCE00, 0xD800, 0xD900,
                            0xDA00, 0xA800, 0xAC00, 0xCC00, 0xCD00, 0xA000, 0xCB00, 0x8000})
      WriteRegister(s);
    WriteRegister(0xDB00 + 120);
    ASSERT_TRUE(SetFrequency(h_, 4));
    ASSERT_TRUE(SetFrameRate(h_, 50.0));
  }
};

TEST_F(WorkedExampleTest, FrameRateSearchWritesTheExpectedFields) {
  EXPECT_EQ(ReadRegister(0xA000), 0xA109);
  EXPECT_EQ(ReadRegister(0xCB00), 0xCBA2);
  double fps = 0;
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 50.0, 1e-9);
  // High speed shutter mode halves the rate of a period, and a rate asked
  // for aims at twice the period.
  ASSERT_TRUE(SetSDRAMStatus(h_, 1));
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 25.0, 1e-9);
  ASSERT_TRUE(SetFrameRate(h_, 50.0));
  DWORD line = 0, frame = 0;
  ASSERT_TRUE(GetLineAndFrameClocks(h_, &line, &frame));
  EXPECT_EQ(frame, 2 * 1440000u);
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 12.5, 1e-9);
}

TEST_F(WorkedExampleTest, ExposureInRowsAndMilliseconds) {
  ASSERT_TRUE(SetExposure(h_, 1000));
  EXPECT_EQ(ReadRegister(0x8000), 0x80F9);
  DWORD clocks = 0, rows = 0;
  ASSERT_TRUE(GetExposureClocks(h_, &clocks));
  EXPECT_EQ(clocks, 1153152u);
  ASSERT_TRUE(GetExposure(h_, &rows));
  EXPECT_EQ(rows, 1000u);
  double ms = 0;
  ASSERT_TRUE(GetExposureMs(h_, &ms));
  EXPECT_NEAR(ms, 16.016, 1e-9);
  ASSERT_TRUE(SetExposure(h_, 5000));  // beyond the maximum: field 0
  EXPECT_EQ(ReadRegister(0x8000), 0x8000);
}

TEST_F(RegisterTest, GainReadsBackAsSet) {
  for (std::int32_t units = -3500; units <= 4000; units += 37) {
    ASSERT_TRUE(SetGain(h_, units));
    double db = 0;
    ASSERT_TRUE(GetGain(h_, &db));
    ASSERT_NEAR(db, 0.006 * units, 1e-9) << units;
  }
  // The registers read back as written, so the same gain again writes nothing.
  ASSERT_TRUE(SetGain(h_, 3959));
  camera_->ResetRequestCounts();
  ASSERT_TRUE(SetGain(h_, 3959));
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_SET_SENSOR_REG), 0u);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_GET_SENSOR_REG), 5u);
}

}  // namespace
}  // namespace simcam_test
