#include "APP/control/Commands.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <cstring>
#include <optional>
#include <utility>

#include "common/Format.h"
#include "imaging/streamformat.h"
#include "platform/newfile.h"

TAppCommand* AppCommand = nullptr;
TCamera* CameraDevice = nullptr;
TFrameThread* FrameThread = nullptr;
TTriggerThread* TriggerThread = nullptr;

namespace {
// Every camera object reports to the controller in charge when it reports,
// so that a camera object outlives the controllers that come and go.
[[maybe_unused]] const bool cameraReportsToController = [] {
  TCamera::SetDefaultStatusReport([](const QString& errorText) {
    if (AppCommand != nullptr) AppCommand->ShowStatus(errorText);
  });
  return true;
}();
}  // namespace

void CommandsUnitInit() { AppCommand = new TAppCommand(); }

// ---------------------------------------------------------------------------
// Lifecycle.

TAppCommand::TAppCommand() { ConnectRender(); }

// A rendered frame goes to the main window, the histogram windows, the
// white balance, the clipboard, the frame file and the correction tool.
void TAppCommand::ConnectRender() {
  TRenderOutlets& outlets = Render.Outlets;
  outlets.present = [this](const TRenderFrame& frame, int drawnWidth, int drawnHeight) {
    if (MainView != nullptr)
      MainView->ShowPicture(frame.picture, frame.width, frame.height, frame.pictureBits, drawnWidth,
                            drawnHeight);
  };
  outlets.rawHistogram = [this](const TRenderFrame& frame) {
    if (HistogramRAWView != nullptr)
      HistogramRAWView->UpdateHistogram(frame.raw, frame.width, frame.height, frame.rawBits);
  };
  outlets.rgbHistogram = [this](const TRenderFrame& frame) {
    if (HistogramRGBView != nullptr)
      HistogramRGBView->UpdateHistogram(frame.picture, frame.width, frame.height,
                                        frame.pictureBits);
  };
  outlets.whiteBalance = [this](const TRenderFrame& frame) {
    AutoWhiteBalance(frame.raw, frame.width, frame.height, frame.rawBits);
  };
  outlets.copy = [this](int width, int height, const std::uint8_t* picture,
                        const TBitmapInfo& info) {
    CopyBitmapToClipboard(width, height, picture, info);
  };
  outlets.save = [this](int width, int height, const std::uint8_t* picture) {
    const std::int32_t format = SettingsView != nullptr ? SettingsView->SaveImageMode() : 0;
    SaveFrameFile(Captures.FrameFileCounter, format, picture, width, height);
  };
  outlets.correctionTool = [this](int width, int height, const std::uint8_t* picture) {
    RunCorrectionTool(picture, width, height);
  };
}

void TAppCommand::SetPanel(int index, const QString& text) {
  if (MainView != nullptr) MainView->SetPanel(index, text);
}

void TAppCommand::Init() {
  CameraDevice = new TCamera();

  Render.FillDisplayTables();

  // The INI file of register sets: the one command-line argument, or
  // "QDV47B5.INI" in the program's folder.
  const QStringList arguments = QCoreApplication::arguments();
  const QString iniPath = arguments.size() == 2
                              ? arguments.at(1)
                              : QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                    QStringLiteral("QDV47B5.INI");
  IniFile = std::make_unique<TIniFile>(iniPath);

  Render.ColorCorrectionObject = MakeColorCorrection();
  Render.ActiveCorrection = nullptr;
  Captures.AVICounter = 0;
  Captures.RAWCounter = 0;
  Captures.Frames2Capture = 0;

  SetStatisticsInterval(0);
  ShowFPS(0.0);
  ShowZoom();
  ShowCPULoad();

  TriggerThread = new TTriggerThread(true);
  TriggerThread->Start();
  FrameThread = new TFrameThread(true);
  FrameThread->SetPriority(TThreadPriority::Highest);
  FrameThread->Start();

  if (CameraDevice->GetStreamStatus() != QDV_STREAM_OFF) StartVideo();
}

void TAppCommand::Done() {
  ShutDown = true;
  if (TriggerThread != nullptr) TriggerThread->Terminate();
  if (FrameThread != nullptr) FrameThread->Terminate();

  Captures.CaptureRunning = false;
  Render.SavePending = false;
  Render.CopyPending = false;
  Render.RGBHistogramOn = false;
  Render.RAWHistogramOn = false;
  Render.WhiteBalancePending = false;
  Trigger.TriggerShotArmed = false;
  Trigger.TriggerMode = false;
  SerialRefreshPending = false;
  Render.CorrectionToolPending = false;

  Render.ActiveCorrection = nullptr;
  Render.ColorCorrectionObject.reset();
  IniFile.reset();
}

void TAppCommand::StartVideo() {
  if (Running) {
    // A camera that went away and came back powered up again has its stream
    // off while live video still runs: Start switches it on again.
    if (CameraDevice->GetStreamStatus() == 0) CameraDevice->SetStreamStatus(OutMode);
    return;
  }
  Running = true;
  if (CameraDevice->GetStreamStatus() == QDV_STREAM_OFF) CameraDevice->SetStreamStatus(OutMode);
  if (MainView != nullptr) MainView->SetVideoPanelFill(false);
  Render.FrameCount = 0;
  LastFrameCount = 0;
  ResumeThreads();
  ShowFPS(1.0);
  if (MainView != nullptr) MainView->SetFPSTimerEnabled(true);
}

void TAppCommand::StopVideo() {
  if (Captures.CaptureRunning) {
    // The running capture loop ends at its next pass; live video goes on.
    Captures.CaptureRunning = false;
    return;
  }
  if (!Running) return;
  Running = false;
  SuspendThreads();
  if (MainView != nullptr) MainView->SetFPSTimerEnabled(false);
  ShowFPS(0);
  if (MainView != nullptr) MainView->SetVideoPanelFill(true);
  CameraDevice->SetStreamStatus(QDV_STREAM_OFF);
}

void TAppCommand::SuspendThreads() {
  if (Trigger.TriggerMode && TriggerThread != nullptr) TriggerThread->Suspend();
  if (FrameThread != nullptr) FrameThread->Suspend();
}

void TAppCommand::ResumeThreads() {
  if (Trigger.TriggerMode && TriggerThread != nullptr) TriggerThread->Resume();
  if (FrameThread != nullptr) FrameThread->Resume();
}

// ---------------------------------------------------------------------------
// Status bar.

void TAppCommand::ShowStatus(const QString& errorText) {
  if (!errorText.isEmpty()) {
    SerialRefreshPending = true;
    SetPanel(PanelStatus, QStringLiteral("Status: FAIL"));
    SetPanel(PanelSerial, QStringLiteral("SerialNo: ?.?.?.?.?"));
    return;
  }
  SetPanel(PanelStatus, QStringLiteral("Status: OK"));
  if (SerialRefreshPending) {
    SerialRefreshPending = false;
    QString serial = QStringLiteral("?.?.?.?.?");
    if (CameraDevice != nullptr) CameraDevice->GetSerialNumber(serial);
    SetPanel(PanelSerial, QStringLiteral("SerialNo: ") + serial);
  }
}

void TAppCommand::ShowFPS(double seconds) {
  if (!Running) {
    SetPanel(PanelFPS, QStringLiteral("Stopped"));
    return;
  }
  const std::int32_t frames = Render.FrameCount - LastFrameCount;
  LastFrameCount = Render.FrameCount;
  // No time elapsed: no rate can be measured.
  const double rate = seconds > 0.0 ? frames / seconds : 0.0;
  SetPanel(PanelFPS, FormatFloat("%.2f fps", rate));
}

void TAppCommand::ShowCPULoad() {
  const std::optional<long long> percent = ProcessorLoad.Sample();
  SetPanel(PanelCPULoad, QStringLiteral("CPU load: ") +
                             (percent ? FormatText("%lld%%", *percent) : QStringLiteral("?")));
}

void TAppCommand::ShowStatistics(double /*seconds*/) {
  if (!Running) {
    SetPanel(PanelSpeed, QString());
    SetPanel(PanelPacketLost, QString());
    return;
  }
  StatisticsRecord record;
  std::memset(&record, 0, sizeof record);
  CameraDevice->GetStatistics(record);

  const double seconds = static_cast<double>(record.Interval) / 10000000;
  const std::uint32_t packets = record.PacketCount;
  const std::uint32_t lost = record.PacketLost;
  // A zero interval or no packets give no rate or share: they show as 0.
  const double megabytes =
      seconds != 0 ? static_cast<double>(packets) * 1496 / (seconds * 1024 * 1024) : 0.0;
  const double megabits =
      seconds != 0 ? static_cast<double>(packets) * 1496 * 8 / (seconds * 1000 * 1000) : 0.0;
  const double lostShare = packets > 0 ? static_cast<double>(lost) * 100 / packets : 0.0;
  auto perSecond = [seconds](std::uint32_t count) { return seconds != 0 ? count / seconds : 0.0; };

  if (SettingsView != nullptr) {
    const std::pair<const char*, std::uint32_t> counters[] = {
        {"ePacketCount", record.PacketCount}, {"ePacketLost", record.PacketLost},
        {"ePacketError", record.PacketError}, {"eControlSet", record.ControlSet},
        {"eControlGet", record.ControlGet},   {"eControlError", record.ControlError},
        {"eFrameCount", record.FrameCount},   {"eFrameResync", record.FrameResync},
        {"eFrameUser", record.FrameUser}};
    for (const auto& [edit, value] : counters) {
      SettingsView->SetStatisticsText(QLatin1String(edit), FormatText("%u", value));
    }
    SettingsView->SetStatisticsText(QStringLiteral("eFPS"),
                                    FormatFloat("%.3f", perSecond(record.FrameCount)));
    SettingsView->SetStatisticsText(QStringLiteral("eFPSCalc"),
                                    FormatFloat("%.3f", GetFrameRate()));
    SettingsView->SetStatisticsText(QStringLiteral("eFPSUser"),
                                    FormatFloat("%.3f", perSecond(record.FrameUser)));
    SettingsView->SetStatisticsText(QStringLiteral("eInterval"), FormatFloat("%.3f", seconds));
    SettingsView->SetStatisticsText(QStringLiteral("eSpeedMbytes"), FormatFloat("%.3f", megabytes));
    SettingsView->SetStatisticsText(QStringLiteral("eSpeedMbits"), FormatFloat("%.3f", megabits));
  }
  SetPanel(PanelSpeed, FormatFloat("Speed: %.2f MB/s", megabytes));
  SetPanel(PanelPacketLost, FormatFloat("Packet lost: %.2f%%", lostShare));
}

void TAppCommand::SetStatisticsInterval(std::int32_t seconds) {
  SetPanel(PanelSpeed, QString());
  SetPanel(PanelPacketLost, QString());
  CameraDevice->ResetStatistics();
  if (MainView != nullptr) MainView->SetStatisticsTimer(seconds * 1000, seconds > 0);
}

void TAppCommand::ResetStatistics() { CameraDevice->ResetStatistics(); }

QString TAppCommand::NextCaptureFileName(const QString& prefix, const QString& extension,
                                         std::int32_t& counter) {
  for (;;) {
    const QString name = prefix + QString::number(counter) + extension;
    // Any entry of that name, a dangling link or a folder too, is taken.
    if (!platform::NameTaken(QFile::encodeName(name).constData())) return name;
    ++counter;
  }
}

// ---------------------------------------------------------------------------
// Forms and help.

void TAppCommand::ShowSettings() {
  if (SettingsView != nullptr) SettingsView->ShowNonModal();
}

void TAppCommand::ShowAbout() {
  if (AboutView != nullptr) AboutView->ShowModal();
}

void TAppCommand::ShowHelp() {
  const QString path =
      QCoreApplication::applicationDirPath() + QLatin1Char('/') + QStringLiteral("help.pdf");
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace {
// Shows a histogram window and then switches its feed on, or switches the
// feed off and then hides the window.
void ShowHistogram(bool on, bool& feed, IHistogramView* view) {
  if (on) {
    if (view != nullptr) view->ShowWindow();
    feed = true;
  } else {
    feed = false;
    if (view != nullptr) view->HideWindow();
  }
}
}  // namespace

void TAppCommand::ShowHistogramRGB(bool on) {
  ShowHistogram(on, Render.RGBHistogramOn, HistogramRGBView);
}

void TAppCommand::ShowHistogramRAW(bool on) {
  ShowHistogram(on, Render.RAWHistogramOn, HistogramRAWView);
}

// ---------------------------------------------------------------------------
// Settings forwarded to the camera.

std::int32_t TAppCommand::SetFrameWaitTimeout(std::int32_t& ms) {
  CameraDevice->SetFrameWaitTimeout(static_cast<std::uint32_t>(ms));
  ms = static_cast<std::int32_t>(CameraDevice->GetFrameWaitTimeout());
  return ms;
}

void TAppCommand::SetFrequency(std::uint32_t code) { CameraDevice->SetFrequency(code); }

std::uint32_t TAppCommand::GetFrequency() { return CameraDevice->GetFrequency(); }

void TAppCommand::SetBufferPool(std::int32_t blockCount, std::int32_t blockSizeMB) {
  Captures.PoolBlockCount = blockCount;
  Captures.PoolBlockSizeMB = blockSizeMB;
}

void TAppCommand::SetSDRAM(bool on) { CameraDevice->SetSDRAMStatus(on ? 1 : 0); }

bool TAppCommand::GetSDRAM() { return CameraDevice->GetSDRAMStatus() != 0; }

void TAppCommand::SetOutMode(std::int32_t index) {
  // The settings dialog lists the output modes in the order of the stream
  // format table.
  const bool known = index >= 0 && index < STREAM_FORMAT_COUNT;
  OutMode = static_cast<std::int32_t>(known ? StreamFormats[index].code : QDV_STREAM_RAW8);
  if (Running) CameraDevice->SetStreamStatus(static_cast<std::uint32_t>(OutMode));
  CameraDevice->SetDefaultLookupTable();
}

std::int32_t TAppCommand::GetOutMode() const {
  const StreamFormatInfo* format = FindStreamFormat(static_cast<std::uint32_t>(OutMode));
  return format != nullptr ? static_cast<std::int32_t>(format - StreamFormats) : 0;
}

void TAppCommand::SetFrameRate(double fps) { CameraDevice->SetFrameRate(fps); }

double TAppCommand::GetFrameRate() {
  double fps = 0.0;
  CameraDevice->GetFrameRate(fps);
  return fps;
}

void TAppCommand::GetExposureInfo(std::uint32_t& minimum, std::uint32_t& maximum,
                                  std::uint32_t& exposure, double& ms) {
  // Values the camera cannot deliver read as 0.
  minimum = 0;
  maximum = 0;
  exposure = 0;
  ms = 0.0;
  CameraDevice->GetExposureMinMax(minimum, maximum);
  CameraDevice->GetExposure(exposure);
  CameraDevice->GetExposureMs(ms);
}

void TAppCommand::SetExposure(std::uint32_t exposure) { CameraDevice->SetExposure(exposure); }

void TAppCommand::SetFrames2Capture(std::int32_t frames) { Captures.Frames2Capture = frames; }

void TAppCommand::SetMedianFilter(std::int32_t selection) {
  CameraDevice->SetMedianFilterType(selection == 1 ? 1 : selection == 2 ? 2 : 0);
}

void TAppCommand::SetColorEnhancement(std::int32_t level, double& factor) {
  CameraDevice->SetColorEnhancement(static_cast<std::uint32_t>(level));
  factor = (level & 255) / 64.0;
}

std::int32_t TAppCommand::GetColorEnhancement(double& factor) {
  const auto level = static_cast<std::int32_t>(CameraDevice->GetColorEnhancement());
  factor = (level & 255) / 64.0;
  return level;
}

namespace {
// Output data rate in MB/s that an inter-packet delay leaves.
double InterPacketRate(std::int32_t delay) {
  const double divisor = (static_cast<std::int64_t>(delay) + 1550) * 10.66;
  return divisor != 0 ? 1496000 / divisor : 0.0;
}
}  // namespace

void TAppCommand::SetInterPacketDelay(std::int32_t delay, double& rate) {
  CameraDevice->SetInterPacketGapDelay(static_cast<std::uint32_t>(delay));
  rate = InterPacketRate(delay);
}

std::int32_t TAppCommand::GetInterPacketDelay(double& rate) {
  const auto delay = static_cast<std::int32_t>(CameraDevice->GetInterPacketGapDelay());
  rate = InterPacketRate(delay);
  return delay;
}
