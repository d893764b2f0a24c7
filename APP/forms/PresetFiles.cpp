#include "APP/forms/PresetFiles.h"

#include <QDir>
#include <QFile>

#include <cassert>
#include <cstdio>

#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/RegularFile.h"
#include "platform/newfile.h"

namespace {

// Sentinels of the camera reads: values that the save takes for "the camera
// did not answer".
constexpr std::uint32_t UnreadExposure = 10000;
constexpr std::uint32_t UnreadFrequency = 1000;

// Main window states as written: 0 normal, 1 minimised, 2 maximised.
constexpr std::int32_t WindowMinimised = 1;
constexpr std::int32_t WindowMaximised = 2;

// --- Saving -------------------------------------------------------------------

// What the save reads from the camera.
struct CameraState {
  ViewPortRecord viewPort{};
  std::uint32_t exposure = UnreadExposure;
  std::uint32_t exposureMin = 0;
  std::uint32_t exposureMax = 0;
  double exposureMs = 0.0;
  std::uint32_t frequency = UnreadFrequency;
  double frameRate = 0.0;
  std::int32_t interPacketDelay = 0;
  bool sdram = false;

  bool Answered() const {
    return viewPort.Width != 0 && viewPort.Height != 0 && exposure != UnreadExposure &&
           frequency != UnreadFrequency;
  }
};

CameraState ReadCameraState() {
  CameraState s;
  CameraDevice->GetViewPort(s.viewPort);
  CameraDevice->GetExposure(s.exposure);
  // The controller reads the exposure again; the first read keeps its
  // sentinel when the camera did not answer.
  std::uint32_t exposure = 0;
  AppCommand->GetExposureInfo(s.exposureMin, s.exposureMax, exposure, s.exposureMs);
  if (s.exposure != UnreadExposure) s.exposure = exposure;
  s.frequency = CameraDevice->GetFrequency();
  CameraDevice->GetFrameRate(s.frameRate);
  double bandwidth = 0.0;
  s.interPacketDelay = AppCommand->GetInterPacketDelay(bandwidth);
  s.sdram = AppCommand->GetSDRAM();
  return s;
}

std::int32_t WindowStateValue(const TMainForm* form) {
  if (form == nullptr) return 0;
  if (form->isMaximized()) return WindowMaximised;
  if (form->isMinimized()) return WindowMinimised;
  return 0;
}

// The frame limit as the field shows it, unless the field holds a number
// not yet applied with "Set": then the limit the captures use, which the
// load would otherwise replace with the pending one. A text that is no
// number is kept as it is; the load leaves the limit alone for it.
QString FrameLimitText(const QString& field) {
  std::int32_t pending = 0;
  if (!ParseInt32(field, pending) || pending == AppCommand->Captures.Frames2Capture) return field;
  return FormatText("%d", AppCommand->Captures.Frames2Capture);
}

// What the settings dialog's controls hold, with the entries that mirror a
// setting of the camera or the controller read from there instead: the
// controls follow the camera only once the dialog has been activated, and
// until then show their design values (the output mode "8 bits compress"
// while the controller streams 8-bit), which the next start would apply.
TPresetValues CollectValues(const TMainForm* form, const CameraState& camera) {
  TPresetValues v = SettingsForm->CollectPreset();
  v.Exposure = camera.exposure;
  v.ExpMin = camera.exposureMin;
  v.ExpMax = camera.exposureMax;
  v.ExpMs = camera.exposureMs;
  v.ViewPort = camera.viewPort;
  v.Frequency = camera.frequency;
  v.OutMode = AppCommand->GetOutMode();
  v.IPDelay = camera.interPacketDelay;
  v.BayerAlgIndex = AppCommand->Render.DebayerMode;
  v.ZoomValue = AppCommand->GetZoom();
  v.SDRAM = camera.sdram;
  // The rate is set with the high-speed mode off; with it on the camera
  // reports half of that.
  v.FrameRate = camera.sdram ? camera.frameRate * 2 : camera.frameRate;
  v.Frames2Capture = v.UseEscKey ? QStringLiteral("0") : FrameLimitText(v.Frames2Capture);
  v.WinState = WindowStateValue(form);
  v.WinIconic = form != nullptr && form->isMinimized();
  return v;
}

// "WinState" maximises the main window; "WinIconic" shows it and minimises
// the application.
void ApplyWindowState(TMainForm* form, const TPresetValues& v) {
  if (form == nullptr) return;
  if (v.WinState == WindowMaximised)
    form->setWindowState(form->windowState() | Qt::WindowMaximized);
  if (v.WinIconic) {
    form->show();
    form->setWindowState(form->windowState() | Qt::WindowMinimized);
  }
}

}  // namespace

// --- Save and load ----------------------------------------------------------------

TPresetSave SavePresetFile(TMainForm* form, const QString& fileName, QString* why) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  const CameraState camera = ReadCameraState();
  // A camera that did not answer leaves the previous file as it was.
  if (!camera.Answered()) return TPresetSave::CameraNotAnswering;
  QString reason;
  if (StorePresetText(fileName, PresetText(CollectValues(form, camera)), reason))
    return TPresetSave::Stored;
  if (why != nullptr) *why = reason;
  return TPresetSave::WriteFailed;
}

TPresetLoad LoadPresetFile(TMainForm* form, const QString& fileName) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  // A load during a capture would change the region and the stream under
  // the running capture's file header.
  if (AppCommand->Captures.CaptureRunning) return TPresetLoad::Refused;
  QByteArray text;
  QString why;
  if (!ReadPresetFileText(fileName, text, why)) {
    ShowErrorMessage(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, why));
    return TPresetLoad::Stopped;
  }
  // Checked whole first: a file with one wrong entry changes nothing.
  TPresetValues values;
  if (!ParsePresetText(text, values, why)) {
    ShowErrorMessage(why);
    return TPresetLoad::Stopped;
  }
  SettingsForm->ApplyPreset(values);
  ApplyWindowState(form, values);
  return TPresetLoad::Loaded;
}

QString StartUpPresetName() { return QStringLiteral("qdv47b5.pre"); }

void SaveClosingPreset(TMainForm* form, bool startUpRefused) {
  const QString name = StartUpPresetName();
  const QString shown = QDir::current().absoluteFilePath(name);
  // Whatever holds the name now is what the start-up could not use.
  if (startUpRefused && platform::NameTaken(QFile::encodeName(name).constData())) {
    std::fprintf(stderr,
                 "The settings were not saved to \"%s\": it could not be read at start-up\n",
                 QFile::encodeName(shown).constData());
    return;
  }
  QString why;
  if (SavePresetFile(form, name, &why) == TPresetSave::WriteFailed)
    std::fprintf(stderr, "The settings were not saved to \"%s\": %s\n",
                 QFile::encodeName(shown).constData(), why.toLocal8Bit().constData());
}

bool MayStorePresetAt(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  if (!platform::NameTaken(name.constData())) return true;
  if (!IsRegularOrAbsent(path)) {
    ShowMessage(QStringLiteral("Profile : ") + path +
                QStringLiteral(" not stored: it is not a regular file"));
    return false;
  }
  return AskYesNo(path + QStringLiteral(" already exists.\nDo you want to replace it?"));
}
