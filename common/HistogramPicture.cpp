#include "common/HistogramPicture.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#include "common/Format.h"

namespace {

constexpr std::uint8_t Grey = 128;
constexpr std::uint8_t Silver = 192;

std::uint64_t CountAt(std::initializer_list<const std::uint32_t*> arrays, std::int32_t bin) {
  std::uint64_t count = 0;
  for (const std::uint32_t* bins : arrays) count += bins[bin];
  return count;
}

std::uint32_t Peak(const std::uint32_t* bins, const HistogramStatistics& range) {
  std::uint32_t peak = 0;
  for (std::int32_t i = range.Min; i <= range.Max; ++i) peak = std::max(peak, bins[i]);
  return peak;
}

// Pixels of a picture, written in place (the picture is not shared, so
// nothing is copied on the way).
class PixelWriter {
 public:
  explicit PixelWriter(QImage& image) : bits_(image.bits()), stride_(image.bytesPerLine()) {}
  void Set(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint8_t* pixel = bits_ + static_cast<std::ptrdiff_t>(y) * stride_ + 3 * x;
    pixel[0] = red;
    pixel[1] = green;
    pixel[2] = blue;
  }

 private:
  std::uint8_t* bits_;
  qsizetype stride_;
};

// A grey picture with the silver band over the bins that hold counts; the
// band is clipped to the picture's columns. lastColumn is the highest column
// to draw, or -1 when there is none.
QImage GreyPictureWithBand(QSize size, const HistogramStatistics& range, int& lastColumn) {
  QImage image(size, QImage::Format_RGB888);
  image.fill(QColor(Grey, Grey, Grey));
  lastColumn = std::min(range.Max, image.width() - 1);
  if (lastColumn >= range.Min) {
    for (int y = 0; y < image.height(); ++y) {
      std::memset(image.scanLine(y) + 3 * range.Min, Silver, 3 * (lastColumn - range.Min + 1));
    }
  }
  return image;
}

}  // namespace

HistogramStatistics MeasureHistogram(std::initializer_list<const std::uint32_t*> arrays,
                                     std::int32_t binCount) {
  assert(binCount > 0 && binCount <= Bins12Bit);
  HistogramStatistics s;
  std::int32_t first = 0;
  while (first < binCount && CountAt(arrays, first) == 0) ++first;
  if (first == binCount) return s;  // no counts
  std::int32_t last = binCount - 1;
  while (CountAt(arrays, last) == 0) --last;
  s.Min = first;
  s.Max = last;
  // At most 3 x 2^32 counts a bin and 4096 bins: both sums fit in 64 bits.
  for (std::int32_t i = first; i <= last; ++i) {
    const std::uint64_t count = CountAt(arrays, i);
    s.Total += count;
    s.Weighted += static_cast<std::uint64_t>(i) * count;
  }
  return s;
}

std::array<QString, 4> HistogramPanelTexts(const HistogramStatistics& s) {
  if (s.Empty()) {
    return {QStringLiteral("Min:-"), QStringLiteral("Avg:-"), QStringLiteral("Max:-"),
            QStringLiteral("Delta:-")};
  }
  return {FormatText("Min:%d", s.Min),
          FormatFloat("Avg:%.2f", static_cast<double>(s.Weighted) / static_cast<double>(s.Total)),
          FormatText("Max:%d", s.Max), FormatText("Delta:%d", s.Max - s.Min + 1)};
}

void FoldHistogramBins(std::uint32_t* bins) {
  for (std::int32_t k = 0; k < FoldedBins12Bit; ++k) {
    bins[k] = bins[4 * k] + bins[4 * k + 1] + bins[4 * k + 2] + bins[4 * k + 3];
  }
}

std::int32_t HistogramBarHeight(std::uint32_t count, std::int32_t height, std::uint32_t peak,
                                HistogramRounding rounding) {
  if (peak == 0) return 0;
  assert(height >= 0);
  // Exact in integers: the quotient, then up when the remainder is more than
  // half the divisor, or exactly half and the rounding says so.
  const std::uint64_t product =
      static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(height);
  std::uint64_t quotient = product / peak;
  const std::uint64_t twiceRemainder = 2 * (product % peak);
  const bool halfGoesUp = rounding == HistogramRounding::HalfUp || (quotient & 1) != 0;
  if (twiceRemainder > peak || (twiceRemainder == peak && halfGoesUp)) ++quotient;
  return static_cast<std::int32_t>(quotient);
}

QImage DrawHistogramMono(QSize size, const std::uint32_t* bins, std::int32_t binCount,
                         HistogramRounding rounding) {
  const HistogramStatistics range = MeasureHistogram({bins}, binCount);
  int lastColumn = -1;
  QImage image = GreyPictureWithBand(size, range, lastColumn);
  const int h = image.height();
  const std::uint32_t peak = Peak(bins, range);
  PixelWriter pixels(image);
  for (int x = range.Min; x <= lastColumn; ++x) {
    const int bar = std::min(HistogramBarHeight(bins[x], h, peak, rounding), h);
    for (int y = h - bar + 1; y < h; ++y) pixels.Set(x, y, 0, 0, 0);
  }
  return image;
}

QImage DrawHistogramColor(QSize size, const std::uint32_t* red, const std::uint32_t* green,
                          const std::uint32_t* blue, std::int32_t binCount,
                          HistogramRounding rounding) {
  const HistogramStatistics range = MeasureHistogram({red, green, blue}, binCount);
  int lastColumn = -1;
  QImage image = GreyPictureWithBand(size, range, lastColumn);
  const int h = image.height();
  const std::uint32_t peakR = Peak(red, range);
  const std::uint32_t peakG = Peak(green, range);
  const std::uint32_t peakB = Peak(blue, range);
  PixelWriter pixels(image);
  for (int x = range.Min; x <= lastColumn; ++x) {
    const int hR = HistogramBarHeight(red[x], h, peakR, rounding);
    const int hG = HistogramBarHeight(green[x], h, peakG, rounding);
    const int hB = HistogramBarHeight(blue[x], h, peakB, rounding);
    // Level y is the row h - y; level 0 lies just below the picture.
    for (int y = 1; y <= h; ++y) {
      if (hR > y || hG > y || hB > y) {
        pixels.Set(x, h - y, hR > y ? 255 : 0, hG > y ? 255 : 0, hB > y ? 255 : 0);
      }
    }
  }
  return image;
}
