#include "APP/Presets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "APP/Commands.h"
#include "APP/fmMain.h"
#include "APP/fmSettings.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/RadioGroup.h"
#include "common/RegularFile.h"
#include "common/TrackBarBounds.h"
#include "platform/newfile.h"

namespace {

// The region's fields, under their own names, in the order written and read.
struct ViewPortField {
  const char* name;
  std::uint32_t ViewPortRecord::*field;
};
constexpr ViewPortField ViewPortFields[] = {
    {"Width", &ViewPortRecord::Width},     {"Height", &ViewPortRecord::Height},
    {"StartX", &ViewPortRecord::StartX},   {"StartY", &ViewPortRecord::StartY},
    {"SizeX", &ViewPortRecord::SizeX},     {"SizeY", &ViewPortRecord::SizeY},
    {"DecBinX", &ViewPortRecord::DecBinX}, {"DecBinY", &ViewPortRecord::DecBinY},
    {"OffsetX", &ViewPortRecord::OffsetX}, {"OffsetY", &ViewPortRecord::OffsetY},
    {"res1", &ViewPortRecord::res1},       {"res2", &ViewPortRecord::res2},
    {"res3", &ViewPortRecord::res3},       {"res4", &ViewPortRecord::res4},
    {"res5", &ViewPortRecord::res5},       {"res6", &ViewPortRecord::res6}};

// No preset holds more: 35 short lines and a capture folder of at most a
// path's length. A larger file is refused unread.
constexpr std::int64_t PresetFileLimit = 64 * 1024;

// Sentinels of the camera reads: values that the save takes for "the camera
// did not answer".
constexpr std::uint32_t UnreadExposure = 10000;
constexpr std::uint32_t UnreadFrequency = 1000;

// Main window states as written: 0 normal, 1 minimised, 2 maximised.
constexpr std::int32_t WindowMinimised = 1;
constexpr std::int32_t WindowMaximised = 2;

QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
QString Signed(std::int32_t value) { return FormatText("%d", value); }
QString Unsigned(std::uint32_t value) { return FormatText("%u", value); }
// Shortest general form with up to 15 significant digits.
QString Real(double value) { return FormatFloat("%.15g", value); }

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
  if (!ParseInt32(field, pending) || pending == AppCommand->Frames2Capture) return field;
  return Signed(AppCommand->Frames2Capture);
}

// Entries that mirror a setting of the camera or the controller are read
// from there, not from the dialog's controls: the controls follow the camera
// only once the dialog has been activated, and until then show their design
// values (the output mode "8 bits compress" while the controller streams
// 8-bit), which the next start would apply.
TPresetList CollectEntries(const TMainForm* form, const CameraState& camera) {
  const TSettingsForm* dialog = SettingsForm;
  TPresetList list;
  list.Add(QStringLiteral("Capture File Path"), dialog->edPath->text());
  list.Add(QStringLiteral("Gain"), Signed(dialog->tbGain->value()));
  list.Add(QStringLiteral("Exposure"), Unsigned(camera.exposure));
  list.Add(QStringLiteral("ExpMin"), Unsigned(camera.exposureMin));
  list.Add(QStringLiteral("ExpMax"), Unsigned(camera.exposureMax));
  list.Add(QStringLiteral("ExpMs"), Real(camera.exposureMs));
  for (const ViewPortField& f : ViewPortFields)
    list.Add(QLatin1String(f.name), Unsigned(camera.viewPort.*f.field));
  list.Add(QStringLiteral("Frequency"), Unsigned(camera.frequency));
  list.Add(QStringLiteral("outMode"), Signed(AppCommand->GetOutMode()));
  list.Add(QStringLiteral("IPDelay"), Signed(camera.interPacketDelay));
  list.Add(QStringLiteral("BayerAlgIndex"), Signed(AppCommand->DebayerMode));
  list.Add(QStringLiteral("SaveImageMode"), Signed(dialog->rgSaveImageMode->ItemIndex()));
  list.Add(QStringLiteral("ZoomValue"), Signed(AppCommand->GetZoom()));
  list.Add(QStringLiteral("Gamma"), Flag(dialog->cbGammaCorrection->isChecked()));
  list.Add(QStringLiteral("SDRAM"), Flag(camera.sdram));
  // The rate is set with the high-speed mode off; with it on the camera
  // reports half of that.
  list.Add(QStringLiteral("FrameRate"),
           Real(camera.sdram ? camera.frameRate * 2 : camera.frameRate));
  const bool untilEsc = dialog->cbUnlimitedFrames->isChecked();
  list.Add(QStringLiteral("UseEscKey"), Flag(untilEsc));
  list.Add(QStringLiteral("Frames2Capture"),
           untilEsc ? QStringLiteral("0") : FrameLimitText(dialog->eFrames->text()));
  list.Add(QStringLiteral("WinState"), Signed(WindowStateValue(form)));
  list.Add(QStringLiteral("WinIconic"), Flag(form != nullptr && form->isMinimized()));
  return list;
}

// --- Loading ------------------------------------------------------------------

// One file's entries with typed look-ups. A missing entry reads as empty
// text, which no number conversion accepts.
class TPresetReader {
 public:
  explicit TPresetReader(TPresetList list) : list_(std::move(list)) {}

  QString Text(const char* name) const {
    QString value;
    list_.Find(QLatin1String(name), value);
    return value;
  }
  bool Int(const char* name, std::int32_t& value) const { return SafeStrToInt(Text(name), value); }
  bool UInt(const char* name, std::uint32_t& value) const { return ParseUInt32(Text(name), value); }
  // A real entry that is missing or no number stops the load with the
  // conversion error box.
  bool Real(const char* name, double& value) const {
    if (ParseReal(Text(name), value)) return true;
    ShowErrorMessage(NotARealText(Text(name)));
    return false;
  }

 private:
  TPresetList list_;
};

// The load's steps, in their order. Setting a track bar, check box or radio
// group runs its handler as a user's change would, so several settings
// reach the camera twice; setting a combo box runs none.
class TPresetLoader {
 public:
  TPresetLoader(TMainForm* form, const TPresetReader& file)
      : form_(form), file_(file), dialog_(SettingsForm) {}

  bool Run() {
    dialog_->edPath->setText(file_.Text("Capture File Path"));
    LoadOutputMode();
    LoadFrequency();
    LoadGain();
    LoadViewPort();
    LoadZoom();
    LoadGamma();
    // The high-speed mode goes off before the frame rate is set.
    AppCommand->SetSDRAM(false);
    if (!LoadFrameRate()) return false;
    LoadInterPacketDelay();
    LoadDebayerMode();
    LoadSaveImageMode();
    LoadFrameLimit();
    if (!LoadExposure()) return false;
    LoadSDRAM();
    LoadWindowState();
    return true;
  }

 private:
  void LoadOutputMode() {
    std::int32_t index = 0;
    if (!file_.Int("OutMode", index)) return;
    {
      const QSignalBlocker blocker(dialog_->cbOutputMode);
      dialog_->cbOutputMode->setCurrentIndex(index);
    }
    AppCommand->SetOutMode(dialog_->cbOutputMode->currentIndex());
  }

  void LoadFrequency() {
    std::uint32_t code = 0;
    if (!file_.UInt("Frequency", code)) return;
    CameraDevice->SetFrequency(code);
    const QSignalBlocker blocker(dialog_->cbFrequency);
    dialog_->cbFrequency->setCurrentIndex(static_cast<int>(code));
  }

  void LoadGain() {
    std::int32_t gain = 0;
    if (!file_.Int("Gain", gain)) return;
    // The track bar's range bounds the gain: a value beyond it would reach
    // the camera unchecked while the track bar shows its end (and the most
    // negative one cannot even be negated).
    gain = std::clamp(gain, dialog_->tbGain->minimum(), dialog_->tbGain->maximum());
    CameraDevice->SetGain(-gain);
    dialog_->tbGain->setValue(gain);
    dialog_->ShowGain();
  }

  // The region is sent only when every field is a number: a partly read
  // record would be a region nobody chose.
  void LoadViewPort() {
    ViewPortRecord viewPort{};
    for (const ViewPortField& f : ViewPortFields)
      if (!file_.UInt(f.name, viewPort.*f.field)) return;
    CameraDevice->UpdateViewPort(viewPort);
  }

  void LoadZoom() {
    std::int32_t zoom = 0;
    if (!file_.Int("ZoomValue", zoom)) return;
    AppCommand->SetZoom(zoom);
    AppCommand->ShowZoom();
  }

  void LoadGamma() {
    std::int32_t gamma = 0;
    if (!file_.Int("Gamma", gamma)) return;
    dialog_->cbGammaCorrection->setChecked(gamma == 1);
    CameraDevice->SetGammaCorrection(dialog_->cbGammaCorrection->isChecked());
  }

  bool LoadFrameRate() {
    double fps = 0.0;
    if (!file_.Real("FrameRate", fps)) return false;
    dialog_->edFrameRate->setText(FormatFloat("%.3f", fps));
    AppCommand->SetFrameRate(fps);
    // Until the next exposure refresh the field shows this placeholder.
    dialog_->edFrameRate->setText(QStringLiteral("50.0"));
    return true;
  }

  void LoadInterPacketDelay() {
    std::int32_t delay = 0;
    if (!file_.Int("IPDelay", delay)) return;
    double rate = 0.0;
    AppCommand->SetInterPacketDelay(delay, rate);
    dialog_->tbInterPacketDelay->setValue(delay);
    dialog_->edOutputDataBandwith->setText(FormatFloat("%.3f", rate));
  }

  void LoadDebayerMode() {
    std::int32_t mode = 0;
    if (file_.Int("BayerAlgIndex", mode)) AppCommand->SetDebayerMode(mode);
  }

  void LoadSaveImageMode() {
    std::int32_t mode = 0;
    if (file_.Int("SaveImageMode", mode)) dialog_->rgSaveImageMode->SetItemIndex(mode);
  }

  // Ticking the box sets the controller's limit to 0 through its handler. A
  // limit in the field is applied as its "Set" would apply it, so that the
  // next capture stops where the dialog says; a text that is no number
  // leaves the limit as it was, without a message.
  void LoadFrameLimit() {
    std::int32_t untilEsc = 0;
    if (!file_.Int("UseEscKey", untilEsc)) return;
    if (untilEsc == 1) {
      dialog_->cbUnlimitedFrames->setChecked(true);
      dialog_->eFrames->setText(QStringLiteral("0"));
      return;
    }
    dialog_->cbUnlimitedFrames->setChecked(false);
    dialog_->eFrames->setText(file_.Text("Frames2Capture"));
    dialog_->ApplyFrameLimit();
  }

  bool LoadExposure() {
    std::uint32_t exposure = 0, minimum = 0, maximum = 0;
    const bool numbers = file_.UInt("Exposure", exposure) && file_.UInt("ExpMin", minimum) &&
                         file_.UInt("ExpMax", maximum);
    double ms = 0.0;
    if (!file_.Real("ExpMs", ms)) return false;
    if (!numbers) return true;
    AppCommand->SetExposure(exposure);
    QSlider* bar = dialog_->tbExposure;
    SetTrackBarMin(bar, static_cast<int>(std::min<std::uint32_t>(minimum, INT32_MAX)));
    SetTrackBarMax(bar, static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX)));
    const std::int64_t position = static_cast<std::int64_t>(bar->maximum()) - exposure;
    bar->setValue(static_cast<int>(std::max<std::int64_t>(position, INT32_MIN)));
    dialog_->UpdateExposure();
    return true;
  }

  void LoadSDRAM() {
    std::int32_t sdram = 0;
    if (!file_.Int("SDRAM", sdram)) return;
    dialog_->cbSDRAM->setChecked(sdram == 1);
    AppCommand->SetSDRAM(sdram == 1);
  }

  void LoadWindowState() {
    if (form_ == nullptr) return;
    std::int32_t state = 0;
    if (file_.Int("WinState", state) && state == WindowMaximised)
      form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
    std::int32_t iconic = 0;
    if (file_.Int("WinIconic", iconic) && iconic == 1) {
      form_->show();
      form_->setWindowState(form_->windowState() | Qt::WindowMinimized);
    }
  }

  TMainForm* form_;
  const TPresetReader& file_;
  TSettingsForm* dialog_;
};

// --- Files -----------------------------------------------------------------------

// Writes the text beside the old file and renames it over it (the
// platform's replace-through-a-temporary-file), so that a failed write,
// a full disk included, never destroys the previous preset. Only a regular
// file is replaced, never a FIFO or a device; a preset reached through a
// link is replaced where the link points, as a user who linked it expects.
bool ReplaceFile(const QString& fileName, const QByteArray& text) {
  if (!IsRegularOrAbsent(fileName)) return false;
  const QFileInfo info(fileName);
  const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : fileName;
  return platform::WriteWholeFile(QFile::encodeName(target).constData(),
                                  platform::FileCreation::Replace, [&text](std::FILE* file) {
                                    const auto size = static_cast<std::size_t>(text.size());
                                    return std::fwrite(text.constData(), 1, size, file) == size;
                                  });
}

}  // namespace

bool SafeStrToInt(const QString& text, std::int32_t& value) { return ParseInt32(text, value); }

// --- TPresetList ----------------------------------------------------------------

void TPresetList::Add(const QString& name, const QString& value) {
  if (!value.isEmpty()) entries_.append({name, value});
}

bool TPresetList::Find(const QString& name, QString& value) const {
  for (const auto& [entryName, entryValue] : entries_) {
    if (entryName.compare(name, Qt::CaseInsensitive) == 0) {
      value = entryValue;
      return true;
    }
  }
  return false;
}

QByteArray TPresetList::Text() const {
  QByteArray text;
  for (const auto& [name, value] : entries_)
    text += (name + QLatin1Char('=') + value).toLocal8Bit() + "\r\n";
  return text;
}

TPresetList TPresetList::FromText(const QByteArray& text) {
  TPresetList list;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const QString line = QString::fromLocal8Bit(text.mid(start, end - start));
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals >= 0) list.Add(line.left(equals), line.mid(equals + 1));
    // CR LF counts as one line end.
    start = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
  }
  return list;
}

// --- Save and load ----------------------------------------------------------------

TPresetSave SavePresetFile(TMainForm* form, const QString& fileName) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  const CameraState camera = ReadCameraState();
  // A camera that did not answer leaves the previous file as it was.
  if (!camera.Answered()) return TPresetSave::CameraNotAnswering;
  return ReplaceFile(fileName, CollectEntries(form, camera).Text()) ? TPresetSave::Stored
                                                                    : TPresetSave::WriteFailed;
}

TPresetLoad LoadPresetFile(TMainForm* form, const QString& fileName) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  // A load during a capture would change the region and the stream under
  // the running capture's file header.
  if (AppCommand->CaptureRunning) return TPresetLoad::Refused;
  // Only a regular file of a preset's size is read: a FIFO would block the
  // start-up and a device or huge file would fill the memory.
  QByteArray text;
  QString why;
  if (!ReadSmallFile(fileName, PresetFileLimit, text, why)) {
    ShowErrorMessage(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, why));
    return TPresetLoad::Stopped;
  }
  const TPresetReader reader(TPresetList::FromText(text));
  TPresetLoader loader(form, reader);
  return loader.Run() ? TPresetLoad::Loaded : TPresetLoad::Stopped;
}
