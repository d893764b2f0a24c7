// The RGB histogram window: the distribution of the picture as displayed,
// per channel or as one grey distribution, with its statistics.
#ifndef APP_FMHISTOGRAMRGB_H
#define APP_FMHISTOGRAMRGB_H

#include <cstdint>

#include "APP/forms/HistogramForm.h"

class THistogramFormRGB : public THistogramForm {
  Q_OBJECT

 public:
  static constexpr std::int32_t BinCount = 256;

  explicit THistogramFormRGB(QWidget* parent = nullptr);
  void FormCreate();

  // One displayed picture: a 24-bit image (B, G, R) with bits 24, or the
  // 8-bit samples of the Mono display with bits 8.
  void UpdateRGB(const void* data, int width, int height, int bits);
  void UpdateHistogram(const void* data, int width, int height, int bits) override {
    UpdateRGB(data, width, height, bits);
  }

  // The drawing chosen by the last update; both write the statistics.
  QImage DrawPicture() override;
  QImage DrawMono();
  QImage DrawColor();

  // Non-zero: the last update counted one grey distribution into BinsR.
  std::uint8_t GreyDrawing = 1;
  std::uint32_t BinsR[BinCount];
  std::uint32_t BinsG[BinCount];
  std::uint32_t BinsB[BinCount];
};

extern THistogramFormRGB* HistogramFormRGB;

#endif
