// What the settings dialog hands to the main form: the colour correction,
// the display lookup and the per-channel RAW tables; and the header's
// description for the file-information window.
#include <cstring>

#include "common/Format.h"
#include "viewer/CurveTables.h"
#include "viewer/MainForm.h"

void TAppForm::SetImageCorrection(bool on, double gainR, double offsetR, double gainG,
                                  double offsetG, double gainB, double offsetB, double hueShift,
                                  double saturationGain, double lightnessGain,
                                  double lightnessOffset) {
  CorrectionOn = on;
  if (on)
    SetColorCorrectionParams(ColorCorrectionObject.get(), gainR, offsetR, gainG, offsetG, gainB,
                             offsetB, hueShift, saturationGain, lightnessGain, lightnessOffset);
  RepaintForm();
}

void TAppForm::SetMonoCurve(std::int32_t brightness, std::int32_t contrast, std::int32_t gamma) {
  BuildCurveTable8(brightness, contrast, gamma, LUT12, 4096);
  BuildCurveTable8(brightness, contrast, gamma, LUT10, 1024);
  RepaintForm();
}

void TAppForm::SetRGBCurves(std::int32_t redBrightness, std::int32_t redContrast,
                            std::int32_t redGamma, std::int32_t greenBrightness,
                            std::int32_t greenContrast, std::int32_t greenGamma,
                            std::int32_t blueBrightness, std::int32_t blueContrast,
                            std::int32_t blueGamma) {
  const std::int32_t curves[3][3] = {{redBrightness, redContrast, redGamma},
                                     {greenBrightness, greenContrast, greenGamma},
                                     {blueBrightness, blueContrast, blueGamma}};
  for (int c = 0; c < 3; ++c) {
    BuildCurveTable16(curves[c][0], curves[c][1], curves[c][2], RAWTable12[c], 4096);
    BuildCurveTable16(curves[c][0], curves[c][1], curves[c][2], RAWTable10[c], 1024);
  }
  RepaintForm();
}

void TAppForm::DefaultLookupTables() {
  for (int i = 0; i < 4096; ++i) LUT12[i] = static_cast<std::uint8_t>(i >> 4);
  for (int i = 0; i < 1024; ++i) LUT10[i] = static_cast<std::uint8_t>(i >> 2);
}

void TAppForm::DefaultRGBTables() {
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 4096; ++i) RAWTable12[c][i] = static_cast<std::uint16_t>(i);
    for (int i = 0; i < 1024; ++i) RAWTable10[c][i] = static_cast<std::uint16_t>(i);
  }
}

namespace {

// A header byte shown as a character: printable ASCII as it is, any other
// byte as "?".
char Printable(char c) { return (c >= 0x20 && c < 0x7f) ? c : '?'; }

template <typename T>
T At(const RAWVideoHeader& header, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(&header) + offset, sizeof value);
  return value;
}

}  // namespace

void TAppForm::ListFileInfo(QStringList& lines) const {
  lines.clear();
  if (!File.IsOpen()) {
    lines << QStringLiteral("No RAW file loaded");
    return;
  }
  // A copy: the playback thread may be reading the header again.
  RAWVideoHeader h;
  {
    const std::lock_guard<std::recursive_mutex> lock(frameLock_);
    h = Header;
  }
  lines << QStringLiteral("FileName: '") + FileName + QStringLiteral("'");
  lines << (std::memcmp(h.Signature, RAWVideoSignature, 4) == 0
                ? QStringLiteral("Siganture: Ok")
                : QStringLiteral("Siganture: BAD!"));
  if (h.BayerMatrix[0] != 0 || h.BayerMatrix[1] != 0 || h.BayerMatrix[2] != 0 ||
      h.BayerMatrix[3] != 0)
    lines << FormatText("BayerMatrix: %c%c%c%c", Printable(h.BayerMatrix[0]),
                        Printable(h.BayerMatrix[1]), Printable(h.BayerMatrix[2]),
                        Printable(h.BayerMatrix[3]));
  else
    lines << QStringLiteral("Bayer Matrix: Monochrome");
  // The camera identity at offset 8, in the order of the serial number.
  const std::size_t id = RAWHeader::DeviceID;
  const std::uint32_t id4 = At<std::uint32_t>(h, id + 4);
  const std::uint16_t id0 = At<std::uint16_t>(h, id), id2 = At<std::uint16_t>(h, id + 2),
                      id8 = At<std::uint16_t>(h, id + 8), id10 = At<std::uint16_t>(h, id + 10);
  if (id4 != 0 || id0 != 0 || id2 != 0 || id8 != 0 || id10 != 0)
    lines << FormatText("DeviceID: %d.%d.%d.%d.%d", static_cast<int>(id4), id0, id2, id8, id10);
  else
    lines << QStringLiteral("DeviceID: ?.?.?.?.?");
  lines << FormatText("ViewPort: %dx%d", h.Width, h.Height);
  const StreamFormatInfo* format = FindStreamFormat(static_cast<std::uint32_t>(h.StreamStatus));
  lines << QStringLiteral("Video Type: ") + (format != nullptr
                                                 ? QString::fromLatin1(format->videoTypeName)
                                                 : QStringLiteral("???"));
  lines << FormatFloat("Frequency: %.3f Mhz", h.Frequency * 0.000001);
  lines << FormatFloat("Exposure: %.3f ms", h.Exposure);
  lines << FormatFloat("FrameRate: %.3f fps", h.FrameRate);
  lines << FormatFloat("Gain: %.3f dB", h.Gain);
}
