// The camera object against the simulated camera: defaults and status texts
// on failures, the serial-number refresh, the frequency register word, the
// lookup-table maximum and the RAW video header.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "APP/tests/AppTestSupport.h"
#include "common/Format.h"

namespace {

class CameraTest : public CameraTestBase, public ::testing::Test {
 protected:
  TCamera& Cam() { return *CameraDevice; }

  // Panels written by a successful operation; afterwards only failures are
  // expected to change them.
  void MarkPanels() {
    mainView.panels[PanelStatus] = QStringLiteral("-");
    mainView.panels[PanelSerial] = QStringLiteral("-");
  }

  QString ExpectedSerial() {
    Driver driver;
    CameraInfoRecord info{};
    EXPECT_TRUE(GetCameraInfo(driver.handle, &info));
    return FormatText("%d.%d.%d.%d.%d", static_cast<std::int32_t>(info.Id4), info.Id0, info.Id2,
                      info.Id8, info.Id10);
  }
};

TEST_F(CameraTest, AbsentDeviceGivesEveryDefaultAndFail) {
  camera.SetAbsent(true);
  camera.ResetRequestCounts();

  ViewPortRecord viewPort;
  std::memset(&viewPort, 0xA5, sizeof viewPort);
  StatisticsRecord statistics;
  std::memset(&statistics, 0x5A, sizeof statistics);
  std::vector<std::uint16_t> table(3 * 4096, 0x1234);
  std::uint32_t minimum = 11, maximum = 22, rows = 33, bytes = 44;
  double ms = 5.5, fps = 6.5;

  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"GetFrequency", [&] { EXPECT_EQ(Cam().GetFrequency(), 0u); }},
      {"GetFrameWaitTimeout", [&] { EXPECT_EQ(Cam().GetFrameWaitTimeout(), 5000u); }},
      {"GetStreamStatus", [&] { EXPECT_EQ(Cam().GetStreamStatus(), 0u); }},
      {"GetGain", [&] { EXPECT_EQ(Cam().GetGain(), 0.0); }},
      {"GetTriggerControl", [&] { EXPECT_EQ(Cam().GetTriggerControl(), 0u); }},
      {"GetSDRAMStatus", [&] { EXPECT_EQ(Cam().GetSDRAMStatus(), 0u); }},
      {"GetBlackLevelValue", [&] { EXPECT_EQ(Cam().GetBlackLevelValue(), 0u); }},
      {"GetInterPacketGapDelay", [&] { EXPECT_EQ(Cam().GetInterPacketGapDelay(), 0u); }},
      {"GetColorEnhancement", [&] { EXPECT_EQ(Cam().GetColorEnhancement(), 64u); }},
      {"GetFrame",
       [&] {
         Cam().GetFrame(AppCommand->Render.FrameBuffer, FrameBufferSize, bytes);
         EXPECT_EQ(bytes, 0u);
       }},
      {"GetExposureMs",
       [&] {
         Cam().GetExposureMs(ms);
         EXPECT_EQ(ms, 0.0);
       }},
      {"GetViewPort",
       [&] {
         Cam().GetViewPort(viewPort);
         EXPECT_EQ(viewPort.Width, 0xA5A5A5A5u);
       }},
      {"GetStatistics",
       [&] {
         Cam().GetStatistics(statistics);
         EXPECT_EQ(statistics.PacketCount, 0x5A5A5A5Au);
       }},
      {"GetColorLookupTable",
       [&] {
         Cam().GetColorLookupTable(table.data());
         EXPECT_EQ(table[0], 0x1234);
         EXPECT_EQ(table[3 * 4096 - 1], 0x1234);
       }},
      {"GetExposureMinMax",
       [&] {
         Cam().GetExposureMinMax(minimum, maximum);
         EXPECT_EQ(minimum, 11u);
         EXPECT_EQ(maximum, 22u);
       }},
      {"GetExposure",
       [&] {
         Cam().GetExposure(rows);
         EXPECT_EQ(rows, 33u);
       }},
      {"GetFrameRate",
       [&] {
         Cam().GetFrameRate(fps);
         EXPECT_EQ(fps, 6.5);
       }},
      {"SetSensorReg",
       [&] {
         std::uint16_t word = 0x7001;
         Cam().SetSensorReg(word);
         EXPECT_EQ(word, 0x7001);
       }},
      {"SetFrequency", [&] { Cam().SetFrequency(5); }},
      {"SetMedianFilterType", [&] { Cam().SetMedianFilterType(1); }},
      {"UpdateViewPort", [&] { Cam().UpdateViewPort(viewPort); }},
      {"SetFrameWaitTimeout", [&] { Cam().SetFrameWaitTimeout(100); }},
      {"ResetStatistics", [&] { Cam().ResetStatistics(); }},
      {"SetStreamStatus", [&] { Cam().SetStreamStatus(1); }},
      {"SetDefaultLookupTable", [&] { Cam().SetDefaultLookupTable(); }},
      {"SetMonoLookupTable", [&] { Cam().SetMonoLookupTable(1, 2, 3); }},
      {"SetColorLookupTable", [&] { Cam().SetColorLookupTable(1, 2, 3, 4, 5, 6, 7, 8, 9); }},
      {"SetPredefinedLookupTable", [&] { Cam().SetPredefinedLookupTable(16); }},
      {"WriteColorLookupTable", [&] { Cam().WriteColorLookupTable(table.data()); }},
      {"SetExposure", [&] { Cam().SetExposure(100); }},
      {"SetGain", [&] { Cam().SetGain(500); }},
      {"SetGammaCorrection", [&] { Cam().SetGammaCorrection(true); }},
      {"SetTriggerControl", [&] { Cam().SetTriggerControl(3); }},
      {"SetFrameRate", [&] { Cam().SetFrameRate(25.0); }},
      {"SetSDRAMStatus", [&] { Cam().SetSDRAMStatus(1); }},
      {"SetBlackLevelStatus", [&] { Cam().SetBlackLevelStatus(true); }},
      {"SetBlackLevelValue", [&] { Cam().SetBlackLevelValue(9); }},
      {"ResetSensor", [&] { Cam().ResetSensor(); }},
      {"SetInterPacketGapDelay", [&] { Cam().SetInterPacketGapDelay(10); }},
      {"SetColorEnhancement", [&] { Cam().SetColorEnhancement(10); }},
      {"SetWhiteBalanceFlags", [&] { Cam().SetWhiteBalanceFlags(1); }},
      {"FillRAWHeader",
       [&] {
         std::vector<std::uint8_t> header(RAWVideoHeaderSize, 0xEE);
         Cam().FillRAWHeader(header.data());
         EXPECT_EQ(std::vector<std::uint8_t>(RAWVideoHeaderSize, 0), header);
       }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    MarkPanels();
    operation();
    EXPECT_EQ(Status(), "Status: FAIL");
    EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
  }

  // The serial number reads "?.?.?.?.?" and reports nothing.
  MarkPanels();
  QString serial = QStringLiteral("old");
  Cam().GetSerialNumber(serial);
  EXPECT_EQ(serial, "?.?.?.?.?");
  EXPECT_EQ(Status(), "-");

  // Nothing reached the device.
  for (DWORD code : {QDV_IOCTL_FREQUENCY, QDV_IOCTL_STREAM_STATUS, QDV_IOCTL_GET_SENSOR_REG,
                     QDV_IOCTL_SET_SENSOR_REG, QDV_IOCTL_CAMERA_INFO, QDV_IOCTL_GET_FRAME}) {
    EXPECT_EQ(camera.RequestCount(code), 0u) << code;
  }
}

TEST_F(CameraTest, FailedReadsGiveTheirDefaults) {
  {
    Driver driver;
    ASSERT_TRUE(SetFrameWaitTimeout(driver.handle, 1234));
    ASSERT_TRUE(SetColorEnhancement(driver.handle, 10));
    ASSERT_TRUE(SetTriggerControl(driver.handle, 3));
    ASSERT_TRUE(SetSDRAMStatus(driver.handle, 1));
    ASSERT_TRUE(SetInterPacketGapDelay(driver.handle, 77));
    ASSERT_TRUE(SetFrequency(driver.handle, 4));
    ASSERT_TRUE(SetStreamStatus(driver.handle, 1));
  }
  EXPECT_EQ(Cam().GetFrameWaitTimeout(), 1234u);
  EXPECT_EQ(Cam().GetColorEnhancement(), 10u);
  EXPECT_EQ(Status(), "Status: OK");

  camera.FailRequests(QDV_IOCTL_FRAME_WAIT_TIMEOUT);
  EXPECT_EQ(Cam().GetFrameWaitTimeout(), 5000u);
  EXPECT_EQ(Status(), "Status: FAIL");
  camera.FailRequests(QDV_IOCTL_COLOR_ENHANCEMENT);
  EXPECT_EQ(Cam().GetColorEnhancement(), 64u);
  camera.FailRequests(QDV_IOCTL_TRIGGER_CONTROL);
  EXPECT_EQ(Cam().GetTriggerControl(), 0u);
  camera.FailRequests(QDV_IOCTL_SDRAM_STATUS);
  EXPECT_EQ(Cam().GetSDRAMStatus(), 0u);
  camera.FailRequests(QDV_IOCTL_INTER_PACKET_GAP);
  EXPECT_EQ(Cam().GetInterPacketGapDelay(), 0u);
  camera.FailRequests(QDV_IOCTL_FREQUENCY);
  EXPECT_EQ(Cam().GetFrequency(), 0u);
  camera.FailRequests(QDV_IOCTL_STREAM_STATUS);
  EXPECT_EQ(Cam().GetStreamStatus(), 0u);
  camera.FailRequests(QDV_IOCTL_GET_SENSOR_REG);
  EXPECT_EQ(Cam().GetGain(), 0.0);
  EXPECT_EQ(Cam().GetBlackLevelValue(), 0u);
  double ms = 3.0;
  Cam().GetExposureMs(ms);
  EXPECT_EQ(ms, 0.0);
  camera.FailRequests(QDV_IOCTL_GET_FRAME);
  std::uint32_t bytes = 99;
  Cam().GetFrame(AppCommand->Render.FrameBuffer, FrameBufferSize, bytes);
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(Status(), "Status: FAIL");

  camera.ClearFailures();
  EXPECT_EQ(Cam().GetInterPacketGapDelay(), 77u);
  EXPECT_EQ(Status(), "Status: OK");
}

// A camera given a status report of its own tells that report, and nothing
// else, each operation's error text.
TEST_F(CameraTest, OwnStatusReportGetsEachErrorText) {
  QStringList texts;
  TCamera own([&texts](const QString& text) { texts << text; });
  MarkPanels();
  const struct {
    const char* name;
    std::function<void()> arrange;
    QString expected;
  } cases[] = {
      {"success", [] {}, QString()},
      {"refused", [&] { camera.FailRequests(QDV_IOCTL_FRAME_WAIT_TIMEOUT); },
       QStringLiteral("GetFrameWaitTimeout get error!")},
      {"absent", [&] { camera.SetAbsent(true); }, QStringLiteral("Camera open error!")},
  };
  for (const auto& c : cases) {
    c.arrange();
    texts.clear();
    own.GetFrameWaitTimeout();
    EXPECT_EQ(texts, QStringList{c.expected}) << c.name;
    camera.ClearFailures();
    camera.SetAbsent(false);
  }
  EXPECT_EQ(Status(), "-");
  EXPECT_EQ(Serial(), "-");
}

TEST_F(CameraTest, SerialNumberIsReadOnceAfterEachFailure) {
  camera.ResetRequestCounts();
  // A new controller has a refresh pending: the first success reads it.
  Cam().GetStreamStatus();
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_CAMERA_INFO), 1u);
  EXPECT_EQ(Serial(), "SerialNo: " + ExpectedSerial());

  camera.ResetRequestCounts();
  camera.FailRequests(QDV_IOCTL_STREAM_STATUS, 1);
  Cam().GetStreamStatus();
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
  Cam().GetStreamStatus();
  EXPECT_EQ(Status(), "Status: OK");
  Cam().GetStreamStatus();
  EXPECT_EQ(Status(), "Status: OK");
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_CAMERA_INFO), 1u);
  EXPECT_EQ(Serial(), "SerialNo: " + ExpectedSerial());
}

TEST_F(CameraTest, SerialNumberTextAndItsFailure) {
  QString serial;
  Cam().GetSerialNumber(serial);
  EXPECT_EQ(serial, ExpectedSerial());
  EXPECT_TRUE(serial.count(QLatin1Char('.')) == 4);

  MarkPanels();
  camera.FailRequests(QDV_IOCTL_CAMERA_INFO, 1);
  Cam().GetSerialNumber(serial);
  EXPECT_EQ(serial, "?.?.?.?.?");
  EXPECT_EQ(Status(), "-");  // reports nothing

  // A failed identity read during the refresh shows the unknown number, and
  // the refresh is not repeated by the next success.
  camera.FailRequests(QDV_IOCTL_STREAM_STATUS, 1);
  Cam().GetStreamStatus();
  camera.FailRequests(QDV_IOCTL_CAMERA_INFO, 1);
  Cam().GetStreamStatus();
  EXPECT_EQ(Status(), "Status: OK");
  EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
}

TEST_F(CameraTest, SetFrequencySendsTheRegisterWordEvenWhenTheClockFails) {
  auto register75 = [] {
    Driver driver;
    std::uint16_t word = 0x7500;
    EXPECT_TRUE(GetSensorReg(driver.handle, &word));
    return word;
  };
  camera.ResetRequestCounts();
  camera.FailRequests(QDV_IOCTL_FREQUENCY, 1);
  Cam().SetFrequency(5);
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_FREQUENCY), 1u);
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_SET_SENSOR_REG), 1u);
  EXPECT_EQ(register75(), 0x7569);

  Cam().SetFrequency(3);
  EXPECT_EQ(Status(), "Status: OK");
  EXPECT_EQ(register75(), 0x7509);
  EXPECT_EQ(Cam().GetFrequency(), 3u);

  // The register write's own failure is the one reported.
  camera.FailRequests(QDV_IOCTL_SET_SENSOR_REG, 1);
  Cam().SetFrequency(5);
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(Cam().GetFrequency(), 5u);
}

TEST_F(CameraTest, RegisterSettings) {
  auto readRegister = [](std::uint16_t select) {
    Driver driver;
    std::uint16_t word = select;
    EXPECT_TRUE(GetSensorReg(driver.handle, &word));
    return word;
  };
  auto manualBlackLevel = [] {
    Driver driver;
    DWORD manual = 9;
    EXPECT_TRUE(GetBlackLevelStatus(driver.handle, &manual));
    return manual;
  };
  Cam().SetBlackLevelStatus(true);
  EXPECT_EQ(manualBlackLevel(), 0u);
  Cam().SetBlackLevelStatus(false);
  EXPECT_EQ(manualBlackLevel(), 1u);

  Cam().SetBlackLevelValue(0x42);
  EXPECT_EQ(Cam().GetBlackLevelValue(), 0x42);

  // Gamma: only bit 0x80 of register 0x70 changes.
  std::uint16_t word = 0x7015;
  Cam().SetSensorReg(word);
  Cam().SetGammaCorrection(true);
  EXPECT_EQ(readRegister(0x7000), 0x7095);
  Cam().SetGammaCorrection(false);
  EXPECT_EQ(readRegister(0x7000), 0x7015);
  EXPECT_EQ(Status(), "Status: OK");

  // A failed read writes nothing.
  camera.ResetRequestCounts();
  camera.FailRequests(QDV_IOCTL_GET_SENSOR_REG, 1);
  Cam().SetGammaCorrection(true);
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_SET_SENSOR_REG), 0u);
  EXPECT_EQ(readRegister(0x7000), 0x7015);

  Cam().SetGain(1000);
  EXPECT_NEAR(Cam().GetGain(), 6.0, 1e-9);
}

TEST_F(CameraTest, LookupTableMaximumFollowsTheStreamStatus) {
  auto setStream = [](DWORD status) {
    Driver driver;
    EXPECT_TRUE(SetStreamStatus(driver.handle, status));
  };
  auto expectTables = [&](std::uint16_t maximum, int brightness, int contrast, int gamma) {
    std::vector<std::uint16_t> expected(4096);
    BuildLookupTable(brightness, contrast, gamma, expected.data(), maximum);
    std::vector<std::uint16_t> tables(3 * 4096);
    Cam().GetColorLookupTable(tables.data());
    for (int colour = 0; colour < 3; ++colour) {
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), tables.begin() + colour * 4096))
          << "colour " << colour << " maximum " << maximum;
    }
  };

  setStream(4);
  Cam().SetMonoLookupTable(10, 20, 30);
  EXPECT_EQ(Status(), "Status: OK");
  expectTables(1023, 10, 20, 30);

  setStream(2);
  Cam().SetMonoLookupTable(10, 20, 30);
  expectTables(255, 10, 20, 30);

  // A stream status that cannot be read counts as 0: maximum 255, and the
  // failed read is not reported.
  setStream(4);
  camera.FailRequests(QDV_IOCTL_STREAM_STATUS, 1);
  Cam().SetMonoLookupTable(0, 0, 0);
  EXPECT_EQ(Status(), "Status: OK");
  expectTables(255, 0, 0, 0);

  // The colour table: three tables with their own settings.
  Cam().SetColorLookupTable(1, 2, 3, 4, 5, 6, 7, 8, 9);
  std::vector<std::uint16_t> tables(3 * 4096);
  Cam().GetColorLookupTable(tables.data());
  for (int colour = 0; colour < 3; ++colour) {
    std::vector<std::uint16_t> expected(4096);
    BuildLookupTable(1 + 3 * colour, 2 + 3 * colour, 3 + 3 * colour, expected.data(), 1023);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), tables.begin() + colour * 4096));
  }

  Cam().SetPredefinedLookupTable(16);
  Cam().GetColorLookupTable(tables.data());
  EXPECT_EQ(tables[4095], 255);  // 4095 / 16 with maximum 1023
  EXPECT_EQ(tables[160], 10);

  // Written back unchanged.
  tables[5] = 77;
  Cam().WriteColorLookupTable(tables.data());
  std::vector<std::uint16_t> readBack(3 * 4096);
  Cam().GetColorLookupTable(readBack.data());
  EXPECT_EQ(readBack, tables);

  camera.FailRequests(QDV_IOCTL_LOOKUP_TABLE, 1);
  Cam().SetDefaultLookupTable();
  EXPECT_EQ(Status(), "Status: FAIL");
}

// The RAW video header as it should be: each field from its own read.
class RAWHeaderTest : public CameraTest {
 protected:
  void SetUp() override {
    Driver driver;
    ASSERT_TRUE(SetFrequency(driver.handle, 4));
    ASSERT_TRUE(SetMedianFilterType(driver.handle, 2));
    ASSERT_TRUE(SetSDRAMStatus(driver.handle, 1));
    ASSERT_TRUE(SetStreamStatus(driver.handle, 1));
    ASSERT_TRUE(SetGain(driver.handle, 1000));
    ViewPortRecord wanted{};
    wanted.StartX = 64;
    wanted.StartY = 32;
    wanted.SizeX = 640;
    wanted.SizeY = 480;
    wanted.Width = 640;
    wanted.Height = 480;
    ASSERT_TRUE(UpdateViewPort(driver.handle, &wanted));
    Cam().SetGammaCorrection(true);
    Cam().SetColorLookupTable(5, 0, 0, 0, 5, 0, 0, 0, 5);
  }

  std::vector<std::uint8_t> Expected(std::uint32_t flags) {
    std::vector<std::uint8_t> header(RAWVideoHeaderSize, 0);
    auto put = [&header](std::uint32_t offset, const void* data, std::size_t size) {
      std::memcpy(header.data() + offset, data, size);
    };
    Driver driver;
    put(0, "QDV\0GBRG", 8);
    CameraInfoRecord info{};
    EXPECT_TRUE(GetCameraInfo(driver.handle, &info));
    put(8, &info, 16);
    ViewPortRecord viewPort{};
    EXPECT_TRUE(GetViewPort(driver.handle, &viewPort));
    put(24, &viewPort.Width, 4);
    put(28, &viewPort.Height, 4);
    DWORD stream = 0;
    EXPECT_TRUE(GetStreamStatus(driver.handle, &stream));
    put(32, &stream, 4);
    put(36, &flags, 4);
    const double hertz = 36000000.0;
    put(40, &hertz, 8);
    double exposure = 0, frameRate = 0, gain = 0;
    EXPECT_TRUE(GetExposureMs(driver.handle, &exposure));
    EXPECT_TRUE(GetFrameRate(driver.handle, &frameRate));
    EXPECT_TRUE(GetGain(driver.handle, &gain));
    put(48, &exposure, 8);
    put(56, &frameRate, 8);
    put(64, &gain, 8);
    std::vector<std::uint16_t> table(3 * 4096);
    EXPECT_TRUE(::GetColorLookupTable(driver.handle, table.data()));
    put(72, table.data(), 24576);
    return header;
  }

  std::vector<std::uint8_t> Fill() {
    std::vector<std::uint8_t> header(RAWVideoHeaderSize, 0xEE);
    Cam().FillRAWHeader(header.data());
    return header;
  }

  static void Zero(std::vector<std::uint8_t>& header, std::uint32_t offset, std::uint32_t size) {
    std::memset(header.data() + offset, 0, size);
  }
};

TEST_F(RAWHeaderTest, ByteExactFromEveryRead) {
  const std::vector<std::uint8_t> expected = Expected(2 + 4 + 8);
  EXPECT_EQ(Fill(), expected);
  EXPECT_EQ(Status(), "Status: OK");

  // Spot checks of the layout itself.
  std::int32_t width, height, stream;
  std::uint32_t flags;
  double hertz;
  std::memcpy(&width, expected.data() + 24, 4);
  std::memcpy(&height, expected.data() + 28, 4);
  std::memcpy(&stream, expected.data() + 32, 4);
  std::memcpy(&flags, expected.data() + 36, 4);
  std::memcpy(&hertz, expected.data() + 40, 8);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(stream, 1);
  EXPECT_EQ(flags, 14u);
  EXPECT_EQ(hertz, 36000000.0);
  for (std::uint32_t i = 24648; i < RAWVideoHeaderSize; ++i) ASSERT_EQ(expected[i], 0) << i;

  // All three flag sources off.
  {
    Driver driver;
    ASSERT_TRUE(SetMedianFilterType(driver.handle, 0));
    ASSERT_TRUE(SetSDRAMStatus(driver.handle, 0));
  }
  Cam().SetGammaCorrection(false);
  EXPECT_EQ(Fill(), Expected(0));
}

TEST_F(RAWHeaderTest, FailedSingleReadsLeaveTheirFieldsZero) {
  struct Case {
    const char* name;
    DWORD code;
    std::function<void(std::vector<std::uint8_t>&)> adjust;
  };
  const std::vector<Case> cases = {
      {"camera info", QDV_IOCTL_CAMERA_INFO, [](auto& h) { Zero(h, 8, 16); }},
      {"viewport", QDV_IOCTL_VIEWPORT, [](auto& h) { Zero(h, 24, 8); }},
      {"stream status", QDV_IOCTL_STREAM_STATUS, [](auto& h) { Zero(h, 32, 4); }},
      {"median filter", QDV_IOCTL_MEDIAN_FILTER, [](auto& h) { h[36] = 4 + 8; }},
      {"SDRAM status", QDV_IOCTL_SDRAM_STATUS, [](auto& h) { h[36] = 2 + 8; }},
      {"gamma register", QDV_IOCTL_GET_SENSOR_REG, [](auto& h) { h[36] = 2 + 4; }},
      {"frequency", QDV_IOCTL_FREQUENCY, [](auto& h) { Zero(h, 40, 8); }},
      {"colour table", QDV_IOCTL_LOOKUP_TABLE, [](auto& h) { Zero(h, 72, 24576); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> expected = Expected(2 + 4 + 8);
    c.adjust(expected);
    // Only the header's own first read of that kind fails.
    camera.FailRequests(c.code, 1);
    EXPECT_EQ(Fill(), expected);
    EXPECT_EQ(Status(), "Status: FAIL");
    EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
    camera.ClearFailures();
  }
}

}  // namespace
