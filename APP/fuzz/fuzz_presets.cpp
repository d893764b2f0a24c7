// The preset-file reader on hostile files: the entries of the file, each
// known name's value read as the loader reads it (signed, unsigned, real),
// and the entries written back. Writing the entries and reading them again
// must give the same file.
#include <cstdint>
#include <cmath>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "Parse.h"
#include "Presets.h"

namespace {

// The names the loader reads.
constexpr const char* kNames[] = {
    "Capture File Path", "OutMode", "Frequency", "Gain", "Width", "Height", "StartX", "StartY",
    "SizeX", "SizeY", "DecBinX", "DecBinY", "OffsetX", "OffsetY", "res1", "res2", "res3", "res4",
    "res5", "res6", "ZoomValue", "Gamma", "FrameRate", "IPDelay", "BayerAlgIndex",
    "SaveImageMode", "UseEscKey", "Frames2Capture", "Exposure", "ExpMin", "ExpMax", "ExpMs",
    "SDRAM", "WinState", "WinIconic"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TPresetList list =
      TPresetList::FromText(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
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
  return 0;
}
