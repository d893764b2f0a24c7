#include "APP/forms/fmHistogramRAW.h"

#include <algorithm>

#include "imaging.h"

THistogramFormRAW* HistogramFormRAW = nullptr;

namespace {

const THistogramForm::Design RAWDesign = {"HistogramFormRAW",
                                          "Histogram(RAW)",
                                          QSize(260, 182),
                                          QRect(1, 1, 256, 160),
                                          162,
                                          &TAppCommand::ShowHistogramRAW,
                                          4096};

// The builders of one sample depth: the whole frame into one array, or its
// GBRG Bayer sites into red, green and blue.
struct DepthBuilders {
  std::int32_t bits;
  std::int32_t binCount;
  void (*mono)(const void* samples, std::int32_t count, std::uint32_t* bins);
  void (*bayer)(const void* samples, std::int32_t width, std::int32_t height, std::uint32_t* r,
                std::uint32_t* g, std::uint32_t* b);
};

template <class Sample, void (*Mono)(const Sample*, std::int32_t, std::uint32_t*)>
void MonoOf(const void* samples, std::int32_t count, std::uint32_t* bins) {
  Mono(static_cast<const Sample*>(samples), count, bins);
}

template <class Sample, void (*Bayer)(const Sample*, std::int32_t, std::int32_t, std::uint32_t*,
                                      std::uint32_t*, std::uint32_t*)>
void BayerOf(const void* samples, std::int32_t width, std::int32_t height, std::uint32_t* r,
             std::uint32_t* g, std::uint32_t* b) {
  Bayer(static_cast<const Sample*>(samples), width, height, r, g, b);
}

// The camera delivers GBRG frames.
constexpr DepthBuilders Depths[] = {
    {8, 256, MonoOf<std::uint8_t, Histogram8Bit>, BayerOf<std::uint8_t, HistogramBayer8Bit_GBRG>},
    {10, 1024, MonoOf<std::uint16_t, Histogram10Bit>,
     BayerOf<std::uint16_t, HistogramBayer10Bit_GBRG>},
    {12, Bins12Bit, MonoOf<std::uint16_t, Histogram12Bit>,
     BayerOf<std::uint16_t, HistogramBayer12Bit_GBRG>},
};

const DepthBuilders* BuildersFor(std::int32_t bits) {
  const auto* found = std::find_if(std::begin(Depths), std::end(Depths),
                                   [bits](const DepthBuilders& d) { return d.bits == bits; });
  return found != std::end(Depths) ? found : nullptr;
}

}  // namespace

THistogramFormRAW::THistogramFormRAW(QWidget* parent) : THistogramForm(RAWDesign, parent) {}

void THistogramFormRAW::FormCreate() {
  MonoView = 0;
  // Every count 1: before the first frame all three bars have full height.
  std::fill(std::begin(BinsR), std::end(BinsR), 1u);
  std::fill(std::begin(BinsG), std::end(BinsG), 1u);
  std::fill(std::begin(BinsB), std::end(BinsB), 1u);
  SetBits(8);
  AppCommand->HistogramRAWView = this;
}

void THistogramFormRAW::SetBits(std::int32_t bits) {
  // A depth without builders keeps the 8-bit layout.
  const DepthBuilders* builders = BuildersFor(bits);
  BinCount = builders != nullptr ? builders->binCount : 256;
  SetPaintBoxWidth(BinCount > 256 ? 1024 : 256);
  Bits = bits;
}

void THistogramFormRAW::UpdateRAW(const void* data, int width, int height, int bits) {
  if (bits != Bits) SetBits(bits);
  if (!Count(data, width, height)) return;
  // The statistics are taken in the samples' own units; 12-bit counts are
  // then folded to the 1024 drawn bins.
  if (Bits == 12) {
    FoldHistogramBins(BinsR);
    if (MonoView == 0) {
      FoldHistogramBins(BinsG);
      FoldHistogramBins(BinsB);
    }
  }
  Paint();
}

// Counts the frame by the current depth and shows its statistics; false for
// a depth without builders.
bool THistogramFormRAW::Count(const void* data, int width, int height) {
  const DepthBuilders* builders = BuildersFor(Bits);
  if (builders == nullptr) return false;
  if (MonoView != 0) {
    builders->mono(data, SampleCount(width, height, 1), BinsR);
    ShowMonoStatistics();
  } else {
    // A frame without samples counts nothing.
    const bool empty = SampleCount(width, height, 1) == 0;
    builders->bayer(data, empty ? 0 : width, empty ? 0 : height, BinsR, BinsG, BinsB);
    ShowColorStatistics();
  }
  return true;
}

void THistogramFormRAW::ShowMonoStatistics() {
  SetPanels(HistogramPanelTexts(MeasureHistogram({BinsR}, BinCount)));
}

void THistogramFormRAW::ShowColorStatistics() {
  SetPanels(HistogramPanelTexts(MeasureHistogram({BinsR, BinsG, BinsB}, BinCount)));
}

std::int32_t THistogramFormRAW::DrawnBins() const {
  return BinCount == Bins12Bit ? FoldedBins12Bit : BinCount;
}

QImage THistogramFormRAW::DrawPicture() { return MonoView != 0 ? DrawMono() : DrawColor(); }

QImage THistogramFormRAW::DrawMono() {
  return DrawHistogramMono(PaintBox->size(), BinsR, DrawnBins());
}

QImage THistogramFormRAW::DrawColor() {
  return DrawHistogramColor(PaintBox->size(), BinsR, BinsG, BinsB, DrawnBins());
}
