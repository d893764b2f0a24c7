// The controller: creation, Init and Done, live video start and stop, the
// status-bar texts and the settings it forwards to the camera.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>

#include "APP/tests/AppTestSupport.h"

namespace {

class CommandsTest : public CameraTestBase, public ::testing::Test {
 protected:
  void SetStream(DWORD status) {
    Driver driver;
    ASSERT_TRUE(SetStreamStatus(driver.handle, status));
  }
  DWORD Stream() {
    Driver driver;
    DWORD status = 99;
    EXPECT_TRUE(GetStreamStatus(driver.handle, &status));
    return status;
  }
};

// Worker threads for the video tests: created paused as Init creates them,
// never started (only their pause counts matter here).
class VideoTest : public CommandsTest {
 protected:
  VideoTest() {
    FrameThread = new TFrameThread(true);
    TriggerThread = new TTriggerThread(true);
  }
  ~VideoTest() override {
    delete FrameThread;
    FrameThread = nullptr;
    delete TriggerThread;
    TriggerThread = nullptr;
  }
};

TEST(CommandsUnit, InitialisationBuildsTheGreyPaletteAndTheController) {
  TAppCommand* previous = AppCommand;
  CommandsUnitInit();
  ASSERT_NE(AppCommand, nullptr);
  EXPECT_NE(AppCommand, previous);

  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&AppCommand->Render.DisplayBitmapInfo);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(bytes[i], 0) << i;
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* entry = bytes + 40 + 4 * i;
    EXPECT_EQ(entry[0], i);
    EXPECT_EQ(entry[1], i);
    EXPECT_EQ(entry[2], i);
    EXPECT_EQ(entry[3], 0);
  }
  delete AppCommand;
  AppCommand = previous;
}

TEST(CommandsUnit, CreationDefaults) {
  TAppCommand c;
  EXPECT_FALSE(c.Running);
  EXPECT_EQ(c.Render.FrameCount, 0);
  EXPECT_EQ(c.LastFrameCount, 0);
  EXPECT_EQ(c.Render.DebayerMode, 0);
  EXPECT_EQ(c.Render.Zoom, 1);
  EXPECT_EQ(c.OutMode, 1);
  EXPECT_FALSE(c.Captures.CaptureRunning || c.Render.SavePending || c.Render.CopyPending ||
               c.Render.RGBHistogramOn || c.Render.RAWHistogramOn || c.Render.WhiteBalancePending ||
               c.Trigger.TriggerMode || c.Trigger.TriggerShotArmed ||
               c.Render.CorrectionToolPending);
  EXPECT_TRUE(c.SerialRefreshPending);
  EXPECT_EQ(c.Captures.FrameFileCounter, 0);
  EXPECT_EQ(c.ProcessorLoad.IdleTime + c.ProcessorLoad.KernelTime + c.ProcessorLoad.UserTime, 0u);
  EXPECT_EQ(c.Render.ColorCorrectionObject, nullptr);
  EXPECT_EQ(c.Render.ActiveCorrection, nullptr);
  EXPECT_EQ(c.Captures.Frames2Capture + c.Captures.AVICounter + c.Captures.RAWCounter, 0);
  EXPECT_EQ(c.IniFile, nullptr);
  EXPECT_EQ(c.Captures.PoolBlockCount, 32);
  EXPECT_EQ(c.Captures.PoolBlockSizeMB, 16);
}

// Init, then Done, with the stream off and with it already running.
class InitTest : public CommandsTest {
 protected:
  void InitController() {
    delete CameraDevice;
    CameraDevice = nullptr;
    controller->Init();
  }
  void TearDown() override {
    TThread::ShutDownAll();
    RestoreGuiSynchronization();
    delete FrameThread;
    FrameThread = nullptr;
    delete TriggerThread;
    TriggerThread = nullptr;
    if (controller->Render.ColorCorrectionObject != nullptr) controller->Done();
  }
};

TEST_F(InitTest, StoppedCameraLeavesVideoStopped) {
  InitController();
  ASSERT_NE(CameraDevice, nullptr);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(controller->Render.LUT10[i], i / 4) << i;
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(controller->Render.LUT12[i], i >> 4) << i;
  ASSERT_NE(controller->IniFile, nullptr);
  EXPECT_EQ(controller->IniFile->FileName(),
            QCoreApplication::applicationDirPath() + "/QDV47B5.INI");
  EXPECT_NE(controller->Render.ColorCorrectionObject, nullptr);
  EXPECT_EQ(controller->Render.ActiveCorrection, nullptr);

  EXPECT_FALSE(controller->Running);
  EXPECT_EQ(mainView.panels[PanelFPS], "Stopped");
  EXPECT_TRUE(mainView.panels[PanelCPULoad].startsWith("CPU load: "));
  EXPECT_TRUE(mainView.panels[PanelCPULoad].endsWith("%"));
  EXPECT_EQ(mainView.panels[PanelSpeed], "");
  EXPECT_FALSE(mainView.statisticsTimer);
  EXPECT_EQ(Status(), "Status: OK");
  EXPECT_TRUE(Serial().startsWith("SerialNo: "));
  EXPECT_NE(Serial(), "SerialNo: ?.?.?.?.?");

  ASSERT_NE(FrameThread, nullptr);
  ASSERT_NE(TriggerThread, nullptr);
  EXPECT_EQ(FrameThread->PauseCount(), 1);
  EXPECT_EQ(TriggerThread->PauseCount(), 1);
  EXPECT_EQ(FrameThread->Priority(), TThreadPriority::Highest);
  EXPECT_EQ(TriggerThread->Priority(), TThreadPriority::Normal);

  controller->Captures.CaptureRunning = controller->Render.SavePending =
      controller->Render.CopyPending = true;
  controller->Render.RGBHistogramOn = controller->Render.RAWHistogramOn = true;
  controller->Render.WhiteBalancePending = controller->Trigger.TriggerShotArmed = true;
  controller->Trigger.TriggerMode = controller->Render.CorrectionToolPending = true;
  controller->Render.ActiveCorrection = controller->Render.ColorCorrectionObject.get();
  controller->Done();
  EXPECT_TRUE(FrameThread->Terminated());
  EXPECT_TRUE(TriggerThread->Terminated());
  EXPECT_FALSE(controller->Captures.CaptureRunning || controller->Render.SavePending ||
               controller->Render.CopyPending || controller->Render.RGBHistogramOn ||
               controller->Render.RAWHistogramOn || controller->Render.WhiteBalancePending ||
               controller->Trigger.TriggerShotArmed || controller->Trigger.TriggerMode ||
               controller->SerialRefreshPending || controller->Render.CorrectionToolPending);
  EXPECT_EQ(controller->Render.ColorCorrectionObject, nullptr);
  EXPECT_EQ(controller->Render.ActiveCorrection, nullptr);
  EXPECT_EQ(controller->IniFile, nullptr);
}

TEST_F(InitTest, StreamingCameraStartsVideo) {
  SetStream(3);
  camera.ResetRequestCounts();
  InitController();
  EXPECT_TRUE(controller->Running);
  EXPECT_EQ(Stream(), 3u);  // left in its mode, not switched again
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  EXPECT_EQ(TriggerThread->PauseCount(), 1);
  EXPECT_EQ(mainView.panels[PanelFPS], "0.00 fps");
  EXPECT_TRUE(mainView.fpsTimer);
  EXPECT_FALSE(mainView.videoPanelFill);
  controller->Done();
}

TEST_F(VideoTest, StartAndStopAreIdempotent) {
  camera.ResetRequestCounts();
  controller->OutMode = 4;
  controller->StartVideo();
  EXPECT_TRUE(controller->Running);
  EXPECT_EQ(Stream(), 4u);
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  EXPECT_EQ(mainView.panels[PanelFPS], "0.00 fps");
  EXPECT_TRUE(mainView.fpsTimer);
  EXPECT_FALSE(mainView.videoPanelFill);

  const auto requests = camera.RequestCount(QDV_IOCTL_STREAM_STATUS);
  controller->Render.FrameCount = 17;
  controller->StartVideo();
  // One read, no write: only a stream found off is switched on again.
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STREAM_STATUS), requests + 1);
  EXPECT_EQ(Stream(), 4u);
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  EXPECT_EQ(controller->Render.FrameCount, 17);

  controller->StopVideo();
  EXPECT_FALSE(controller->Running);
  EXPECT_EQ(Stream(), 0u);
  EXPECT_EQ(FrameThread->PauseCount(), 1);
  EXPECT_EQ(mainView.panels[PanelFPS], "Stopped");
  EXPECT_FALSE(mainView.fpsTimer);
  EXPECT_TRUE(mainView.videoPanelFill);

  const auto afterStop = camera.RequestCount(QDV_IOCTL_STREAM_STATUS);
  controller->StopVideo();
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STREAM_STATUS), afterStop);
  EXPECT_EQ(FrameThread->PauseCount(), 1);
}

TEST_F(VideoTest, StartKeepsARunningStreamInItsMode) {
  SetStream(2);
  controller->OutMode = 1;
  controller->StartVideo();
  EXPECT_EQ(Stream(), 2u);
  EXPECT_EQ(controller->Render.FrameCount, 0);
  EXPECT_EQ(controller->LastFrameCount, 0);
}

TEST_F(VideoTest, StopDuringACaptureOnlyEndsTheCapture) {
  controller->StartVideo();
  controller->Captures.CaptureRunning = true;
  camera.ResetRequestCounts();
  controller->StopVideo();
  EXPECT_FALSE(controller->Captures.CaptureRunning);
  EXPECT_TRUE(controller->Running);
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STREAM_STATUS), 0u);
  EXPECT_EQ(Stream(), 1u);
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  EXPECT_TRUE(mainView.fpsTimer);
  // The next stop stops live video.
  controller->StopVideo();
  EXPECT_FALSE(controller->Running);
}

TEST_F(VideoTest, PauseCountsNestAndIncludeTheTriggerThreadOnlyInTriggerMode) {
  controller->ResumeThreads();
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  controller->ResumeThreads();
  EXPECT_EQ(FrameThread->PauseCount(), 0);  // never below zero
  controller->SuspendThreads();
  controller->SuspendThreads();
  EXPECT_EQ(FrameThread->PauseCount(), 2);
  controller->ResumeThreads();
  EXPECT_EQ(FrameThread->PauseCount(), 1);
  EXPECT_EQ(TriggerThread->PauseCount(), 1);

  controller->Trigger.TriggerMode = true;
  controller->ResumeThreads();
  EXPECT_EQ(TriggerThread->PauseCount(), 0);
  EXPECT_EQ(FrameThread->PauseCount(), 0);
  controller->SuspendThreads();
  EXPECT_EQ(TriggerThread->PauseCount(), 1);
  EXPECT_EQ(FrameThread->PauseCount(), 1);
}

TEST_F(CommandsTest, StatusTexts) {
  controller->ShowStatus(QStringLiteral("GetGain FAIL!"));
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
  EXPECT_TRUE(controller->SerialRefreshPending);
  controller->ShowStatus(QString());
  EXPECT_EQ(Status(), "Status: OK");
  EXPECT_FALSE(controller->SerialRefreshPending);
  QString serial;
  CameraDevice->GetSerialNumber(serial);
  EXPECT_EQ(Serial(), "SerialNo: " + serial);
  // The wording never matters, only whether there is one.
  controller->ShowStatus(QStringLiteral(" "));
  EXPECT_EQ(Status(), "Status: FAIL");
}

TEST_F(CommandsTest, FrameRateText) {
  controller->ShowFPS(10.0);
  EXPECT_EQ(mainView.panels[PanelFPS], "Stopped");

  controller->Running = true;
  controller->Render.FrameCount = 250;
  controller->ShowFPS(10.0);
  EXPECT_EQ(mainView.panels[PanelFPS], "25.00 fps");
  EXPECT_EQ(controller->LastFrameCount, 250);
  controller->Render.FrameCount = 251;
  controller->ShowFPS(3.0);
  EXPECT_EQ(mainView.panels[PanelFPS], "0.33 fps");
  // No time elapsed gives a defined value.
  controller->Render.FrameCount = 260;
  controller->ShowFPS(0.0);
  EXPECT_EQ(mainView.panels[PanelFPS], "0.00 fps");
}

TEST_F(CommandsTest, ProcessorLoad) {
  std::uint64_t idle = 0, kernel = 0, user = 0;
  bool available = true;
  controller->ProcessorLoad.SystemTimes = [&](std::uint64_t& i, std::uint64_t& k,
                                              std::uint64_t& u) {
    i = idle;
    k = kernel;
    u = user;
    return available;
  };
  auto sample = [&](std::uint64_t i, std::uint64_t k, std::uint64_t u) {
    idle = i;
    kernel = k;
    user = u;
    controller->ShowCPULoad();
    return mainView.panels[PanelCPULoad];
  };
  // The first sample measures from zero times.
  EXPECT_EQ(sample(600, 800, 200), "CPU load: 40%");
  EXPECT_EQ(controller->ProcessorLoad.IdleTime, 600u);
  EXPECT_EQ(controller->ProcessorLoad.KernelTime, 800u);
  EXPECT_EQ(controller->ProcessorLoad.UserTime, 200u);
  // Halves go to the even neighbour: 62.5 -> 62, 87.5 -> 88.
  EXPECT_EQ(sample(603, 806, 202), "CPU load: 62%");
  EXPECT_EQ(sample(604, 812, 204), "CPU load: 88%");
  EXPECT_EQ(sample(604, 812, 214), "CPU load: 100%");
  // No time elapsed: no load.
  EXPECT_EQ(sample(604, 812, 214), "CPU load: ?");
  // Inconsistent times giving a negative load.
  EXPECT_EQ(sample(700, 822, 214), "CPU load: ?");
  available = false;
  EXPECT_EQ(sample(800, 900, 300), "CPU load: ?");
  EXPECT_EQ(controller->ProcessorLoad.IdleTime, 700u);

  // The system's own times.
  std::uint64_t i1, k1, u1, i2, k2, u2;
  ASSERT_TRUE(ReadSystemTimes(i1, k1, u1));
  EXPECT_GE(k1, i1);
  volatile double spin = 0;
  for (int n = 0; n < 20000000; ++n) spin = spin + n;
  ASSERT_TRUE(ReadSystemTimes(i2, k2, u2));
  EXPECT_GE(i2, i1);
  EXPECT_GE(k2 + u2, k1 + u1);
}

TEST_F(CommandsTest, StatisticsTexts) {
  FakeSettingsView settings;
  controller->SettingsView = &settings;

  // Not running: the panels are cleared and the camera is not asked.
  mainView.panels[PanelSpeed] = "x";
  mainView.panels[PanelPacketLost] = "y";
  camera.ResetRequestCounts();
  controller->ShowStatistics(5.0);
  EXPECT_EQ(mainView.panels[PanelSpeed], "");
  EXPECT_EQ(mainView.panels[PanelPacketLost], "");
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STATISTICS), 0u);
  EXPECT_TRUE(settings.texts.isEmpty());

  // Running with no interval and no packets yet: defined zeros.
  controller->Running = true;
  SetStream(1);
  {
    Driver driver;
    ASSERT_TRUE(ResetStatistics(driver.handle));
  }
  controller->ShowStatistics(5.0);
  EXPECT_EQ(mainView.panels[PanelSpeed], "Speed: 0.00 MB/s");
  EXPECT_EQ(mainView.panels[PanelPacketLost], "Packet lost: 0.00%");
  EXPECT_EQ(settings.texts["eFPS"], "0.000");
  EXPECT_EQ(settings.texts["eSpeedMbits"], "0.000");

  // Frames with lost packets.
  camera.SetPacketLoss(3);
  {
    Driver driver;
    DWORD bytes = 0;
    for (int i = 0; i < 10; ++i)
      ASSERT_TRUE(GetFrame(driver.handle, AppCommand->Render.FrameBuffer, FrameBufferSize, &bytes));
  }
  StatisticsRecord record{};
  {
    Driver driver;
    ASSERT_TRUE(GetStatistics(driver.handle, &record));
  }
  ASSERT_GT(record.PacketCount, 0u);
  ASSERT_GT(record.Interval, 0);
  controller->ShowStatistics(5.0);

  const double seconds = static_cast<double>(record.Interval) / 10000000;
  const double megabytes = static_cast<double>(record.PacketCount) * 1496 / (seconds * 1024 * 1024);
  const double megabits =
      static_cast<double>(record.PacketCount) * 1496 * 8 / (seconds * 1000 * 1000);
  const double lost = static_cast<double>(record.PacketLost) * 100 / record.PacketCount;
  EXPECT_EQ(mainView.panels[PanelSpeed], QString::asprintf("Speed: %.2f MB/s", megabytes));
  EXPECT_EQ(mainView.panels[PanelPacketLost], QString::asprintf("Packet lost: %.2f%%", lost));
  // eControlGet also counts the controller's own statistics read.
  const std::pair<const char*, std::uint32_t> counters[] = {
      {"ePacketCount", record.PacketCount},   {"ePacketLost", record.PacketLost},
      {"ePacketError", record.PacketError},   {"eControlSet", record.ControlSet},
      {"eControlGet", record.ControlGet + 1}, {"eControlError", record.ControlError},
      {"eFrameCount", record.FrameCount},     {"eFrameResync", record.FrameResync},
      {"eFrameUser", record.FrameUser}};
  for (const auto& [edit, value] : counters)
    EXPECT_EQ(settings.texts[edit], QString::number(value)) << edit;
  EXPECT_EQ(settings.texts["eFPS"], QString::asprintf("%.3f", record.FrameCount / seconds));
  EXPECT_EQ(settings.texts["eFPSUser"], QString::asprintf("%.3f", record.FrameUser / seconds));
  EXPECT_EQ(settings.texts["eInterval"], QString::asprintf("%.3f", seconds));
  EXPECT_EQ(settings.texts["eSpeedMbytes"], QString::asprintf("%.3f", megabytes));
  EXPECT_EQ(settings.texts["eSpeedMbits"], QString::asprintf("%.3f", megabits));
  EXPECT_EQ(settings.texts["eFPSCalc"], QString::asprintf("%.3f", controller->GetFrameRate()));
  EXPECT_EQ(settings.texts.size(), 15);
  EXPECT_NE(mainView.panels[PanelPacketLost], "Packet lost: 0.00%");
}

TEST_F(CommandsTest, StatisticsInterval) {
  mainView.panels[PanelSpeed] = "x";
  mainView.panels[PanelPacketLost] = "y";
  camera.ResetRequestCounts();
  controller->SetStatisticsInterval(5);
  EXPECT_EQ(mainView.panels[PanelSpeed], "");
  EXPECT_EQ(mainView.panels[PanelPacketLost], "");
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STATISTICS), 1u);
  EXPECT_EQ(mainView.statisticsInterval, 5000);
  EXPECT_TRUE(mainView.statisticsTimer);
  controller->SetStatisticsInterval(0);
  EXPECT_FALSE(mainView.statisticsTimer);
  controller->SetStatisticsInterval(-2);
  EXPECT_FALSE(mainView.statisticsTimer);
  controller->ResetStatistics();
  EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STATISTICS), 4u);
}

TEST_F(CommandsTest, NextCaptureFileNameSkipsExistingFiles) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString prefix = folder.path() + "/VIDEO_";
  for (int i : {0, 1, 2, 4}) {
    QFile file(prefix + QString::number(i) + ".RAW");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  std::int32_t counter = 0;
  EXPECT_EQ(controller->NextCaptureFileName(prefix, ".RAW", counter), prefix + "3.RAW");
  EXPECT_EQ(counter, 3);
  // The counter stays at the free number until that file exists.
  EXPECT_EQ(controller->NextCaptureFileName(prefix, ".RAW", counter), prefix + "3.RAW");
  QFile(prefix + "3.RAW").open(QIODevice::WriteOnly);
  EXPECT_EQ(controller->NextCaptureFileName(prefix, ".RAW", counter), prefix + "5.RAW");
  EXPECT_EQ(counter, 5);
  // Other extensions are counted on their own.
  counter = 0;
  EXPECT_EQ(controller->NextCaptureFileName(prefix, ".AVI", counter), prefix + "0.AVI");
  EXPECT_EQ(counter, 0);
}

TEST_F(CommandsTest, OutputModeMapping) {
  const std::pair<int, int> mapping[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 1}, {-1, 1}};
  for (const auto& [index, code] : mapping) {
    camera.ResetRequestCounts();
    controller->SetOutMode(index);
    EXPECT_EQ(controller->OutMode, code) << index;
    EXPECT_EQ(controller->GetOutMode(), code == 1 ? 0 : code - 1) << index;
    // Stopped: the stream is not touched; the lookup table is reset.
    EXPECT_EQ(camera.RequestCount(QDV_IOCTL_STREAM_STATUS), 0u);
    EXPECT_EQ(camera.RequestCount(QDV_IOCTL_LOOKUP_TABLE), 1u);
  }
  EXPECT_EQ(Stream(), 0u);
  controller->OutMode = 7;
  EXPECT_EQ(controller->GetOutMode(), 0);

  controller->Running = true;
  SetStream(1);
  controller->SetOutMode(3);
  EXPECT_EQ(Stream(), 4u);
  controller->SetOutMode(0);
  EXPECT_EQ(Stream(), 1u);
}

TEST_F(CommandsTest, ForwardedSettings) {
  auto read = [](BOOL (*get)(DeviceHandle, DWORD*)) {
    Driver driver;
    DWORD value = 12345;
    EXPECT_TRUE(get(driver.handle, &value));
    return value;
  };

  double rate = 0;
  controller->SetInterPacketDelay(0, rate);
  EXPECT_NEAR(rate, 90.54, 0.005);
  EXPECT_DOUBLE_EQ(rate, 1496000 / (1550 * 10.66));
  controller->SetInterPacketDelay(450, rate);
  EXPECT_EQ(read(GetInterPacketGapDelay), 450u);
  EXPECT_DOUBLE_EQ(rate, 1496000 / (2000 * 10.66));
  rate = 0;
  EXPECT_EQ(controller->GetInterPacketDelay(rate), 450);
  EXPECT_DOUBLE_EQ(rate, 1496000 / (2000 * 10.66));

  double factor = 0;
  controller->SetColorEnhancement(96, factor);
  EXPECT_EQ(factor, 1.5);
  EXPECT_EQ(read(GetColorEnhancement), 96u);
  EXPECT_EQ(controller->GetColorEnhancement(factor), 96);
  EXPECT_EQ(factor, 1.5);
  controller->SetColorEnhancement(300, factor);
  EXPECT_EQ(factor, 44 / 64.0);

  std::int32_t ms = 1234;
  EXPECT_EQ(controller->SetFrameWaitTimeout(ms), 1234);
  EXPECT_EQ(read(GetFrameWaitTimeout), 1234u);

  for (int selection : {1, 2, 3, 0, -1}) {
    controller->SetMedianFilter(selection);
    EXPECT_EQ(read(GetMedianFilterType), selection == 1 || selection == 2 ? DWORD(selection) : 0u);
  }

  controller->SetSDRAM(true);
  EXPECT_EQ(read(GetSDRAMStatus), 1u);
  EXPECT_TRUE(controller->GetSDRAM());
  controller->SetSDRAM(false);
  EXPECT_FALSE(controller->GetSDRAM());

  controller->SetFrequency(4);
  EXPECT_EQ(controller->GetFrequency(), 4u);

  controller->SetFrameRate(20.0);
  EXPECT_NEAR(controller->GetFrameRate(), 20.0, 0.5);

  std::uint32_t minimum = 9, maximum = 9, exposure = 9;
  double exposureMs = 9;
  controller->SetExposure(100);
  controller->GetExposureInfo(minimum, maximum, exposure, exposureMs);
  EXPECT_EQ(minimum, 0u);
  EXPECT_GT(maximum, 100u);
  EXPECT_EQ(exposure, 100u);
  EXPECT_GT(exposureMs, 0.0);

  controller->SetBufferPool(4, 8);
  EXPECT_EQ(controller->Captures.PoolBlockCount, 4);
  EXPECT_EQ(controller->Captures.PoolBlockSizeMB, 8);
  controller->SetFrames2Capture(100);
  EXPECT_EQ(controller->Captures.Frames2Capture, 100);
  EXPECT_EQ(Status(), "Status: OK");
}

TEST_F(CommandsTest, ForwardedReadsWithoutACamera) {
  camera.SetAbsent(true);
  std::int32_t ms = 1234;
  EXPECT_EQ(controller->SetFrameWaitTimeout(ms), 5000);
  EXPECT_EQ(ms, 5000);
  EXPECT_EQ(controller->GetFrameRate(), 0.0);
  std::uint32_t minimum = 9, maximum = 9, exposure = 9;
  double exposureMs = 9;
  controller->GetExposureInfo(minimum, maximum, exposure, exposureMs);
  EXPECT_EQ(minimum + maximum + exposure, 0u);
  EXPECT_EQ(exposureMs, 0.0);
  double factor = 0;
  EXPECT_EQ(controller->GetColorEnhancement(factor), 64);
  EXPECT_EQ(factor, 1.0);
  double rate = 0;
  EXPECT_EQ(controller->GetInterPacketDelay(rate), 0);
  EXPECT_NEAR(rate, 90.54, 0.005);
  EXPECT_FALSE(controller->GetSDRAM());
  EXPECT_EQ(controller->GetFrequency(), 0u);
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(Serial(), "SerialNo: ?.?.?.?.?");
}

TEST_F(CommandsTest, HistogramWindows) {
  FakeHistogramView rgb, raw;
  controller->HistogramRGBView = &rgb;
  controller->HistogramRAWView = &raw;
  controller->ShowHistogramRGB(true);
  EXPECT_TRUE(rgb.visible);
  EXPECT_TRUE(controller->Render.RGBHistogramOn);
  EXPECT_FALSE(raw.visible);
  controller->ShowHistogramRAW(true);
  EXPECT_TRUE(raw.visible);
  EXPECT_TRUE(controller->Render.RAWHistogramOn);
  controller->ShowHistogramRGB(false);
  EXPECT_FALSE(rgb.visible);
  EXPECT_FALSE(controller->Render.RGBHistogramOn);
  EXPECT_TRUE(controller->Render.RAWHistogramOn);
  controller->ShowHistogramRAW(false);
  EXPECT_FALSE(controller->Render.RAWHistogramOn);

  // Without the windows the flags still follow.
  controller->HistogramRGBView = nullptr;
  controller->ShowHistogramRGB(true);
  EXPECT_TRUE(controller->Render.RGBHistogramOn);

  FakeSettingsView settings;
  controller->SettingsView = &settings;
  controller->ShowSettings();
  EXPECT_TRUE(settings.shown);
}

TEST(IniFile, SectionsAndKeysIgnoreCase) {
  QTemporaryDir folder;
  const QString path = folder.path() + "/QDV47B5.INI";
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("; register sets\n[Night]\n Regs = 3A01, 3B02 \n[day]\nregs=\"FF\"\n[Empty]\n");
  file.close();
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadSections(), QStringList({"Night", "day", "Empty"}));
  EXPECT_TRUE(ini.SectionExists("NIGHT"));
  EXPECT_EQ(ini.ReadString("night", "REGS", ""), "3A01, 3B02");
  EXPECT_EQ(ini.ReadString("Day", "Regs", ""), "FF");
  EXPECT_FALSE(ini.ValueExists("Empty", "Regs"));
  EXPECT_EQ(ini.ReadString("Empty", "Regs", "x"), "x");
  EXPECT_TRUE(TIniFile(folder.path() + "/none.ini").ReadSections().isEmpty());
}

}  // namespace
