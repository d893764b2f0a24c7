// White balance and the choice of colour correction: the one-shot balance
// that rewrites the camera's colour lookup table, the camera's own white
// balance, and which correction rendering applies.
#include "APP/camera/WhiteBalance.h"

#include <algorithm>
#include <cmath>

#include "APP/control/Commands.h"
#include "imaging/histogram.h"

namespace {

// A colour lookup table as the camera holds it: red, green, blue.
constexpr std::uint32_t TableEntries = QDV_LOOKUP_ENTRIES;
using ColorTable = std::array<std::uint16_t, 3 * TableEntries>;
static_assert(sizeof(ColorTable) == QDV_COLOR_LOOKUP_BYTES);

}  // namespace

void ScaleLookupTable(std::uint16_t* table, std::uint32_t count, double gain,
                      std::uint16_t maximum) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const double scaled = std::nearbyint(table[i] * gain);
    table[i] = static_cast<std::uint16_t>(std::clamp(scaled, 0.0, static_cast<double>(maximum)));
  }
}

void TAppCommand::WhiteBalance() {
  if (Running) Render.WhiteBalancePending = true;
}

void TAppCommand::AutoWhiteBalance(const void* raw, std::int32_t width, std::int32_t height,
                                   std::int32_t bits) {
  double r = -1.0;
  double b = -1.0;
  std::uint16_t maximum = 0;
  if (bits == 8) {
    WhiteBalanceBayer8Bit_GBRG(static_cast<const std::uint8_t*>(raw), width, height, &r, &b);
    maximum = 255;
  } else if (bits == 10) {
    WhiteBalanceBayer16Bit_GBRG(static_cast<const std::uint16_t*>(raw), width, height, &r, &b);
    maximum = 1023;
  } else {
    return;  // 12-bit frames: the request is used up without effect
  }
  // A channel without signal gives no ratio: the tables stay as they are.
  double gains[3];
  if (!WhiteBalanceGains(r, b, gains)) return;

  // The table read back is scaled and written; when it cannot be read,
  // nothing is written (the failure shows in the status bar).
  ColorTable table;
  if (!CameraDevice->GetColorLookupTable(table.data())) return;
  for (std::uint32_t channel = 0; channel < 3; ++channel) {
    ScaleLookupTable(table.data() + channel * TableEntries, TableEntries, gains[channel], maximum);
  }
  CameraDevice->WriteColorLookupTable(table.data());
}

void TAppCommand::WhiteBalanceAuto() { CameraDevice->SetWhiteBalanceFlags(QDV_WHITE_BALANCE_AUTO); }

void TAppCommand::WhiteBalanceLock() {
  CameraDevice->SetWhiteBalanceFlags(QDV_WHITE_BALANCE_LOCKED);
}

void TAppCommand::WhiteBalanceDisable() {
  CameraDevice->SetWhiteBalanceFlags(QDV_WHITE_BALANCE_OFF);
}

// ---------------------------------------------------------------------------
// Correction selection.

void TAppCommand::SetImageCorrection(std::int32_t kind) {
  switch (kind) {
    case 1:
      SetColorCorrectionMode(Render.ColorCorrectionObject.get(), CorrectionGainHSL);
      Render.ActiveCorrection = Render.ColorCorrectionObject.get();
      break;
    case 2:
      SetColorCorrectionMode(Render.ColorCorrectionObject.get(), CorrectionMatrix);
      Render.ActiveCorrection = Render.ColorCorrectionObject.get();
      break;
    default:
      Render.ActiveCorrection = nullptr;  // rendering applies no correction
      break;
  }
}

void TAppCommand::SetHSLCorrection(double hue, double saturation, double lightness) {
  SetColorCorrectionHSL(Render.ColorCorrectionObject.get(), hue, saturation, lightness, 0.0);
}
