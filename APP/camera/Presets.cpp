#include "APP/camera/Presets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <type_traits>
#include <variant>

#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/RadioGroup.h"
#include "common/RegularFile.h"
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
  if (!ParseInt32(field, pending) || pending == AppCommand->Captures.Frames2Capture) return field;
  return Signed(AppCommand->Captures.Frames2Capture);
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

// --- Reading ------------------------------------------------------------------

// An entry's text as a value of each kind the entries hold. A flag is on
// when its integer is 1.
bool ParseEntry(const QString& text, std::int32_t& value) { return ParseInt32(text, value); }
bool ParseEntry(const QString& text, std::uint32_t& value) { return ParseUInt32(text, value); }
bool ParseEntry(const QString& text, double& value) { return ParseReal(text, value); }
bool ParseEntry(const QString& text, bool& on) {
  std::int32_t value = 0;
  if (!ParseInt32(text, value)) return false;
  on = value == 1;
  return true;
}

// Typed look-ups in one file's entries. The first entry that is missing or
// no number of its kind is remembered with its conversion error, and every
// later look-up is skipped.
class TEntryReader {
 public:
  explicit TEntryReader(const TPresetList& list) : list_(list) {}

  QString Text(const char* name) const {
    QString value;
    list_.Find(QLatin1String(name), value);
    return value;
  }

  template <typename Value>
  void Read(const char* name, Value& value) {
    if (Failed()) return;
    const QString text = Text(name);
    if (ParseEntry(text, value)) return;
    why_ = std::is_floating_point_v<Value> ? NotARealText(text) : NotAnIntegerText(text);
  }

  bool Failed() const { return !why_.isEmpty(); }
  const QString& Why() const { return why_; }

 private:
  const TPresetList& list_;
  QString why_;
};

// The entries that hold numbers and flags, each with the value it fills, in
// the order the load applies them, so that the error shown is the one the
// load would meet first: those before the region's fields and those after.
using PresetNumber = std::variant<std::int32_t TPresetValues::*, std::uint32_t TPresetValues::*,
                                  double TPresetValues::*, bool TPresetValues::*>;
struct PresetNumberEntry {
  const char* name;
  PresetNumber value;
};
constexpr PresetNumberEntry EntriesBeforeRegion[] = {{"OutMode", &TPresetValues::OutMode},
                                                     {"Frequency", &TPresetValues::Frequency},
                                                     {"Gain", &TPresetValues::Gain}};
constexpr PresetNumberEntry EntriesAfterRegion[] = {
    {"ZoomValue", &TPresetValues::ZoomValue},
    {"Gamma", &TPresetValues::Gamma},
    {"FrameRate", &TPresetValues::FrameRate},
    {"IPDelay", &TPresetValues::IPDelay},
    {"BayerAlgIndex", &TPresetValues::BayerAlgIndex},
    {"SaveImageMode", &TPresetValues::SaveImageMode},
    {"UseEscKey", &TPresetValues::UseEscKey},
    {"Exposure", &TPresetValues::Exposure},
    {"ExpMin", &TPresetValues::ExpMin},
    {"ExpMax", &TPresetValues::ExpMax},
    {"ExpMs", &TPresetValues::ExpMs},
    {"SDRAM", &TPresetValues::SDRAM},
    {"WinState", &TPresetValues::WinState},
    {"WinIconic", &TPresetValues::WinIconic}};

void ReadNumbers(TEntryReader& file, TPresetValues& v, std::span<const PresetNumberEntry> entries) {
  for (const PresetNumberEntry& entry : entries)
    std::visit([&](auto member) { file.Read(entry.name, v.*member); }, entry.value);
}

// Every entry. The texts are taken as they are and stop nothing.
void ReadEntries(TEntryReader& file, TPresetValues& v) {
  v.CaptureFilePath = file.Text("Capture File Path");
  v.Frames2Capture = file.Text("Frames2Capture");
  ReadNumbers(file, v, EntriesBeforeRegion);
  for (const ViewPortField& f : ViewPortFields) file.Read(f.name, v.ViewPort.*f.field);
  ReadNumbers(file, v, EntriesAfterRegion);
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

// --- Files -----------------------------------------------------------------------

// Writes the text beside the old file and renames it over it (the
// platform's replace-through-a-temporary-file), so that a failed write,
// a full disk included, never destroys the previous preset. Only a regular
// file is replaced, never a FIFO or a device; a preset reached through a
// link is replaced where the link points, as a user who linked it expects.
bool ReplaceFile(const QString& fileName, const QByteArray& text, QString& why) {
  if (!IsRegularOrAbsent(fileName)) {
    why = QStringLiteral("Not a regular file");
    return false;
  }
  const QFileInfo info(fileName);
  const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : fileName;
  errno = 0;
  if (platform::WriteWholeFile(QFile::encodeName(target).constData(),
                               platform::FileCreation::Replace, [&text](std::FILE* file) {
                                 const auto size = static_cast<std::size_t>(text.size());
                                 return std::fwrite(text.constData(), 1, size, file) == size;
                               }))
    return true;
  why = QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO));
  return false;
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

// --- TPresetValues ------------------------------------------------------------------

bool TPresetValues::operator==(const TPresetValues& o) const {
  return CaptureFilePath == o.CaptureFilePath && Gain == o.Gain && Exposure == o.Exposure &&
         ExpMin == o.ExpMin && ExpMax == o.ExpMax && ExpMs == o.ExpMs &&
         std::memcmp(&ViewPort, &o.ViewPort, sizeof ViewPort) == 0 && Frequency == o.Frequency &&
         OutMode == o.OutMode && IPDelay == o.IPDelay && BayerAlgIndex == o.BayerAlgIndex &&
         SaveImageMode == o.SaveImageMode && ZoomValue == o.ZoomValue && Gamma == o.Gamma &&
         SDRAM == o.SDRAM && FrameRate == o.FrameRate && UseEscKey == o.UseEscKey &&
         Frames2Capture == o.Frames2Capture && WinState == o.WinState && WinIconic == o.WinIconic;
}

QByteArray PresetText(const TPresetValues& v) {
  TPresetList list;
  list.Add(QStringLiteral("Capture File Path"), v.CaptureFilePath);
  list.Add(QStringLiteral("Gain"), Signed(v.Gain));
  list.Add(QStringLiteral("Exposure"), Unsigned(v.Exposure));
  list.Add(QStringLiteral("ExpMin"), Unsigned(v.ExpMin));
  list.Add(QStringLiteral("ExpMax"), Unsigned(v.ExpMax));
  list.Add(QStringLiteral("ExpMs"), Real(v.ExpMs));
  for (const ViewPortField& f : ViewPortFields)
    list.Add(QLatin1String(f.name), Unsigned(v.ViewPort.*f.field));
  list.Add(QStringLiteral("Frequency"), Unsigned(v.Frequency));
  list.Add(QStringLiteral("outMode"), Signed(v.OutMode));
  list.Add(QStringLiteral("IPDelay"), Signed(v.IPDelay));
  list.Add(QStringLiteral("BayerAlgIndex"), Signed(v.BayerAlgIndex));
  list.Add(QStringLiteral("SaveImageMode"), Signed(v.SaveImageMode));
  list.Add(QStringLiteral("ZoomValue"), Signed(v.ZoomValue));
  list.Add(QStringLiteral("Gamma"), Flag(v.Gamma));
  list.Add(QStringLiteral("SDRAM"), Flag(v.SDRAM));
  list.Add(QStringLiteral("FrameRate"), Real(v.FrameRate));
  list.Add(QStringLiteral("UseEscKey"), Flag(v.UseEscKey));
  list.Add(QStringLiteral("Frames2Capture"), v.Frames2Capture);
  list.Add(QStringLiteral("WinState"), Signed(v.WinState));
  list.Add(QStringLiteral("WinIconic"), Flag(v.WinIconic));
  return list.Text();
}

bool ParsePresetText(const QByteArray& text, TPresetValues& values, QString& why) {
  const TPresetList list = TPresetList::FromText(text);
  TEntryReader file(list);
  TPresetValues read;
  ReadEntries(file, read);
  if (file.Failed()) {
    why = file.Why();
    return false;
  }
  values = read;
  return true;
}

// --- Save and load ----------------------------------------------------------------

TPresetSave SavePresetFile(TMainForm* form, const QString& fileName, QString* why) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  const CameraState camera = ReadCameraState();
  // A camera that did not answer leaves the previous file as it was.
  if (!camera.Answered()) return TPresetSave::CameraNotAnswering;
  QString reason;
  if (ReplaceFile(fileName, PresetText(CollectValues(form, camera)), reason))
    return TPresetSave::Stored;
  if (why != nullptr) *why = reason;
  return TPresetSave::WriteFailed;
}

TPresetLoad LoadPresetFile(TMainForm* form, const QString& fileName) {
  assert(SettingsForm != nullptr && AppCommand != nullptr && CameraDevice != nullptr);
  // A load during a capture would change the region and the stream under
  // the running capture's file header.
  if (AppCommand->Captures.CaptureRunning) return TPresetLoad::Refused;
  // Only a regular file of a preset's size is read: a FIFO would block the
  // start-up and a device or huge file would fill the memory.
  QByteArray text;
  QString why;
  if (!ReadSmallFile(fileName, PresetFileLimit, text, why)) {
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
