#include "APP/camera/Presets.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <type_traits>
#include <variant>

#include "common/Format.h"
#include "common/Parse.h"
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

QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
QString Signed(std::int32_t value) { return FormatText("%d", value); }
QString Unsigned(std::uint32_t value) { return FormatText("%u", value); }
// Shortest general form with up to 15 significant digits.
QString Real(double value) { return FormatFloat("%.15g", value); }

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

// --- Files -----------------------------------------------------------------------

bool ReadPresetFileText(const QString& fileName, QByteArray& text, QString& why) {
  return ReadSmallFile(fileName, PresetFileLimit, text, why);
}

bool StorePresetText(const QString& fileName, const QByteArray& text, QString& why) {
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
