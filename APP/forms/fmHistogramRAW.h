// The RAW histogram window: the distribution of the frame's samples as the
// camera delivers them (decoded, before the lookup table), per Bayer colour
// or as one grey distribution, at 8, 10 or 12 bits, with its statistics.
#ifndef APP_FMHISTOGRAMRAW_H
#define APP_FMHISTOGRAMRAW_H

#include <cstdint>

#include "APP/forms/HistogramForm.h"
#include "common/HistogramPicture.h"

class THistogramFormRAW : public THistogramForm {
  Q_OBJECT

 public:
  explicit THistogramFormRAW(QWidget* parent = nullptr);
  void FormCreate();

  // One decoded frame: 8-bit samples (Raw8Frame) with bits 8, unpacked
  // 16-bit samples (Raw16Frame) with bits 10 or 12; width and height in
  // samples. Other depths are ignored.
  void UpdateRAW(const void* data, int width, int height, int bits);
  void UpdateHistogram(const void* data, int width, int height, int bits) override {
    UpdateRAW(data, width, height, bits);
  }

  // The sample depth: the paint box is 1024 pixels wide for 10 and 12 bits
  // and 256 for anything else, the client width 2 more.
  void SetBits(std::int32_t bits);

  void ShowMonoStatistics();
  void ShowColorStatistics();

  // The drawing chosen by MonoView, over 256 bins for 8 bits and 1024 for 10
  // and 12 (the folded counts).
  QImage DrawPicture() override;
  QImage DrawMono();
  QImage DrawColor();

  std::int32_t Bits = 8;
  std::int32_t BinCount = 256;
  // Room for the deepest samples, 12 bits; the window uses the first
  // BinCount counts of each.
  std::uint32_t BinsR[Bins12Bit];
  std::uint32_t BinsG[Bins12Bit];
  std::uint32_t BinsB[Bins12Bit];

 private:
  bool Count(const void* data, int width, int height);
  std::int32_t DrawnBins() const;
};

extern THistogramFormRAW* HistogramFormRAW;

#endif
