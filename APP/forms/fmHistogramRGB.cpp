#include "APP/forms/fmHistogramRGB.h"

#include <cstring>

#include "common/HistogramPicture.h"
#include "imaging.h"

THistogramFormRGB* HistogramFormRGB = nullptr;

namespace {
const THistogramForm::Design RGBDesign = {"HistogramFormRGB",
                                          "Histogram",
                                          QSize(258, 137),
                                          QRect(1, 1, 256, 115),
                                          117,
                                          &TAppCommand::ShowHistogramRGB,
                                          256};
}  // namespace

THistogramFormRGB::THistogramFormRGB(QWidget* parent) : THistogramForm(RGBDesign, parent) {}

void THistogramFormRGB::FormCreate() {
  MonoView = 0;
  GreyDrawing = 1;
  // Every count starts with the same value (every byte 1), so a paint
  // before the first frame shows a flat histogram over the whole range.
  std::memset(BinsR, 1, sizeof BinsR);
  std::memset(BinsG, 1, sizeof BinsG);
  std::memset(BinsB, 1, sizeof BinsB);
  AppCommand->HistogramRGBView = this;
}

void THistogramFormRGB::UpdateRGB(const void* data, int width, int height, int bits) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (bits == 8) {
    Histogram8Bit(bytes, SampleCount(width, height, 1), BinsR);
    GreyDrawing = 1;
  } else if (MonoView != 0) {
    // Every byte of the picture, all three channels, as one grey value.
    Histogram8Bit(bytes, SampleCount(width, height, 3), BinsR);
    GreyDrawing = 1;
  } else {
    HistogramRGB24(bytes, SampleCount(width, height, 1), BinsR, BinsG, BinsB);
    GreyDrawing = 0;
  }
  Paint();
}

QImage THistogramFormRGB::DrawPicture() { return GreyDrawing != 0 ? DrawMono() : DrawColor(); }

QImage THistogramFormRGB::DrawMono() {
  SetPanels(HistogramPanelTexts(MeasureHistogram({BinsR}, BinCount)));
  return DrawHistogramMono(PaintBox->size(), BinsR, BinCount);
}

QImage THistogramFormRGB::DrawColor() {
  SetPanels(HistogramPanelTexts(MeasureHistogram({BinsR, BinsG, BinsB}, BinCount)));
  return DrawHistogramColor(PaintBox->size(), BinsR, BinsG, BinsB, BinCount);
}
