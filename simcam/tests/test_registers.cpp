// The sensor registers through the driver API: power-on values, the select
// words of the wide fields, sensor reset, and the register arithmetic's
// worked examples for frame rate, exposure and gain.
#include <gtest/gtest.h>

#include "support_camera.h"

namespace simcam_test {
namespace {

using RegisterTest = CameraTest;

TEST_F(RegisterTest, PowerOnGivesAFullFrameAtThirtyFramesPerSecond) {
  ViewPortRecord v{};
  ASSERT_TRUE(GetViewPort(h_, &v));
  EXPECT_EQ(v.StartX, 0u);
  EXPECT_EQ(v.StartY, 0u);
  EXPECT_EQ(v.SizeX, 1920u);
  EXPECT_EQ(v.SizeY, 1080u);
  EXPECT_EQ(v.Width, 1920u);
  EXPECT_EQ(v.Height, 1080u);

  DWORD code = 99;
  ASSERT_TRUE(GetFrequency(h_, &code));
  EXPECT_EQ(code, 6u);
  double mhz = 0, fps = 0, gain = 1;
  ASSERT_TRUE(GetFrequencyMhz(h_, &mhz));
  EXPECT_EQ(mhz, 64.8);
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 30.0, 1e-9);
  DWORD line = 0, frame = 0;
  ASSERT_TRUE(GetLineAndFrameClocks(h_, &line, &frame));
  EXPECT_EQ(line, 3840u);
  EXPECT_EQ(frame, 4320000u);

  DWORD minRows = 1, maxRows = 0, rows = 0;
  ASSERT_TRUE(GetExposureMinMax(h_, &minRows, &maxRows));
  ASSERT_TRUE(GetExposure(h_, &rows));
  EXPECT_EQ(minRows, 0u);
  EXPECT_EQ(maxRows, 1124u);
  EXPECT_EQ(rows, 562u);  // mid exposure
  double ms = 0;
  ASSERT_TRUE(GetExposureMs(h_, &ms));
  EXPECT_NEAR(ms, 3840.0 * 563 * 1000 / (2000000 * 64.8), 1e-9);

  ASSERT_TRUE(GetGain(h_, &gain));
  EXPECT_NEAR(gain, 0.0, 1e-12);
  DWORD manual = 7;
  ASSERT_TRUE(GetBlackLevelStatus(h_, &manual));
  EXPECT_EQ(manual, 0u);
}

TEST_F(RegisterTest, WideFieldsHaveShorterSelects) {
  WriteRegister(0x87FF);  // exposure field, 11 bits
  EXPECT_EQ(ReadRegister(0x8000), 0x87FF);
  EXPECT_EQ(ReadRegister(0x8123), 0x87FF);  // value bits of the select are ignored
  for (std::uint16_t select : {0xA000, 0xA800, 0xAC00, 0xB000}) {
    SCOPED_TRACE(select);
    WriteRegister(static_cast<std::uint16_t>(select + 0x2A5));
    EXPECT_EQ(ReadRegister(select), select + 0x2A5);
    EXPECT_EQ(ReadRegister(static_cast<std::uint16_t>(select + 0x3FF)), select + 0x2A5);
  }
  // Past a 10-bit field's four high-byte values lies an ordinary register.
  WriteRegister(0xB412);
  EXPECT_EQ(ReadRegister(0xB400), 0xB412);
  EXPECT_EQ(ReadRegister(0xB000), 0xB2A5);
  WriteRegister(0xCB55);
  EXPECT_EQ(ReadRegister(0xCBFF), 0xCB55);
  // A set answers with the register as stored.
  std::uint16_t word = 0x8A01;  // 0x8A is an ordinary register again
  ASSERT_TRUE(SetSensorReg(h_, &word));
  EXPECT_EQ(word, 0x8A01);
  EXPECT_EQ(ReadRegister(0x8000), 0x87FF);
}

TEST_F(RegisterTest, ResetSensorRestoresThePowerOnRegisters) {
  const std::uint16_t selects[] = {0x8000, 0xA000, 0xB000, 0xB800, 0xC600, 0xCB00, 0xDB00, 0xEB00,
                                   0xFC00, 0x7000};
  std::vector<std::uint16_t> before;
  for (std::uint16_t s : selects) before.push_back(ReadRegister(s));
  for (std::uint16_t s : selects) WriteRegister(static_cast<std::uint16_t>(s | 0x5A));
  ASSERT_TRUE(SetGain(h_, 1234));
  ASSERT_TRUE(ResetSensor(h_));
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(ReadRegister(selects[i]), before[i]);
  double fps = 0;
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 30.0, 1e-9);
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
  }
};

TEST_F(WorkedExampleTest, FrameRateSearchWritesTheExpectedFields) {
  ASSERT_TRUE(SetFrameRate(h_, 50.0));
  EXPECT_EQ(ReadRegister(0xA000), 0xA109);
  EXPECT_EQ(ReadRegister(0xCB00), 0xCBA2);
  double fps = 0;
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 50.0, 1e-9);
  DWORD line = 0, frame = 0;
  ASSERT_TRUE(GetLineAndFrameClocks(h_, &line, &frame));
  EXPECT_EQ(line, 1152u);
  EXPECT_EQ(frame, 1440000u);

  // High speed shutter mode halves the rate of a period, and the rate asked
  // for aims at twice the period.
  ASSERT_TRUE(SetSDRAMStatus(h_, 1));
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 25.0, 1e-9);
  ASSERT_TRUE(SetFrameRate(h_, 50.0));
  ASSERT_TRUE(GetLineAndFrameClocks(h_, &line, &frame));
  EXPECT_EQ(frame, 2 * 1440000u);
  ASSERT_TRUE(GetFrameRate(h_, &fps));
  EXPECT_NEAR(fps, 12.5, 1e-9);
}

TEST_F(WorkedExampleTest, ExposureInRowsAndMilliseconds) {
  ASSERT_TRUE(SetFrameRate(h_, 50.0));
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
  ASSERT_TRUE(SetExposure(h_, 0));
  EXPECT_EQ(ReadRegister(0x8000), 0x8000 + 1249);
}

TEST_F(RegisterTest, GainReadsBackAsSet) {
  for (std::int32_t units = -3500; units <= 4000; units += 37) {
    ASSERT_TRUE(SetGain(h_, units));
    double db = 0;
    ASSERT_TRUE(GetGain(h_, &db));
    ASSERT_NEAR(db, 0.006 * units, 1e-9) << units;
  }
  ASSERT_TRUE(SetGain(h_, 5000));  // clamped to 24 dB
  EXPECT_EQ(ReadRegister(0xB800), 0xB844);
  EXPECT_EQ(ReadRegister(0xEC00), 0xEC66);
  EXPECT_EQ(ReadRegister(0x6C00), 0x6C66);
  EXPECT_EQ(ReadRegister(0xB000), 0xB1F4);
  EXPECT_EQ(ReadRegister(0xEB00), 0xEBF2);
  // Setting the same gain again writes nothing: only the five reads arrive.
  camera_->ResetRequestCounts();
  ASSERT_TRUE(SetGain(h_, 4000));
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_SET_SENSOR_REG), 0u);
  EXPECT_EQ(camera_->RequestCount(QDV_IOCTL_GET_SENSOR_REG), 5u);
}

TEST_F(RegisterTest, BlackLevelValueAndStatus) {
  WriteRegister(0xFC41);
  ASSERT_TRUE(SetBlackLevelValue(h_, 40));
  ASSERT_TRUE(SetBlackLevelStatus(h_, 1));
  std::uint8_t value = 0;
  DWORD manual = 0;
  ASSERT_TRUE(GetBlackLevelValue(h_, &value));
  ASSERT_TRUE(GetBlackLevelStatus(h_, &manual));
  EXPECT_EQ(value, 40);
  EXPECT_EQ(manual, 1u);
  EXPECT_EQ(ReadRegister(0xFC00), 0xFC43);
  ASSERT_TRUE(SetBlackLevelStatus(h_, 0));
  EXPECT_EQ(ReadRegister(0xFC00), 0xFC41);
}

}  // namespace
}  // namespace simcam_test
