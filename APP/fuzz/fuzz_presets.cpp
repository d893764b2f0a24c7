// The preset-file loader on hostile files: the entries of the file, each
// known name's value read as the loader reads it (signed, unsigned, real),
// and the entries written back; writing the entries and reading them again
// must give the same file, and so must the typed values of a file that
// parses. Then the whole load, as the File menu runs it,
// into the main window, the settings dialog and the simulated camera; the
// zoom and demosaic mode must stay ones the program knows.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>

#include "APP/forms/PresetFiles.h"
#include "APP/tests/test_settings_setup.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/Zoom.h"
#include "imaging/debayer.h"

namespace {

// The names the loader reads.
// clang-format off
constexpr const char* kNames[] = {
    "Capture File Path", "OutMode", "Frequency", "Gain", "Width", "Height", "StartX", "StartY",
    "SizeX", "SizeY", "DecBinX", "DecBinY", "OffsetX", "OffsetY", "res1", "res2", "res3", "res4",
    "res5", "res6", "ZoomValue", "Gamma", "FrameRate", "IPDelay", "BayerAlgIndex",
    "SaveImageMode", "UseEscKey", "Frames2Capture", "Exposure", "ExpMin", "ExpMax", "ExpMs",
    "SDRAM", "WinState", "WinIconic"};
// clang-format on

SettingsApplication* Settings = nullptr;

void Load(const std::uint8_t* data, std::size_t size) {
  {
    QFile file(QStringLiteral("load.pre"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
      std::abort();
  }
  Settings->Messages.clear();
  LoadPresetFile(MainForm, QStringLiteral("load.pre"));
  const std::int32_t zoom = AppCommand->GetZoom();
  if (zoom < ZoomCodeSmallest || zoom > ZoomCodeLargest) std::abort();
  if (AppCommand->Render.DebayerMode < DEBAYER_MONO ||
      AppCommand->Render.DebayerMode > DEBAYER_PREVIEW)
    std::abort();
}

}  // namespace

// Fontconfig keeps the configuration it parses while the widgets' fonts are
// set up until the process ends; the leak check at exit is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// The application, main window and settings dialog, made once before the
// inputs run (so that they are not taken for leaks of the first input).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static int argc = 1;
  static char name[] = "fuzz_presets";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);
  Settings = new SettingsApplication;
  Settings->Start();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TPresetList list = TPresetList::FromText(
      QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  for (const char* name : kNames) {
    QString value;
    if (!list.Find(QLatin1String(name), value)) continue;
    if (value.isEmpty()) std::abort();  // empty values are not kept
    std::int32_t i = 0;
    std::uint32_t u = 0;
    double r = 0.0;
    (void)SafeStrToInt(value, i);
    (void)ParseUInt32(value, u);
    if (ParseReal(value, r) && !std::isfinite(r)) std::abort();  // "inf" and "nan" are refused
  }
  const QByteArray text = list.Text();
  if (TPresetList::FromText(text).Text() != text) std::abort();
  // A file that parses writes a file that parses to the same text.
  TPresetValues values;
  QString why;
  if (ParsePresetText(text, values, why)) {
    const QByteArray written = PresetText(values);
    TPresetValues again;
    if (!ParsePresetText(written, again, why) || PresetText(again) != written) std::abort();
  }
  Load(data, size);
  return 0;
}
