// Statistics and pictures of histograms, as the histogram windows show them.
//
// Pure functions on arrays of counts (HistogramBins, as the image library's
// builders fill them): no window is needed, so every pixel of a picture can
// be checked on small inputs.
//
// A picture is H rows high; column x shows bin x. It is grey (128, 128, 128)
// where no bin is drawn; the columns from the lowest to the highest non-zero
// bin are silver (192, 192, 192) with a bar in each. A bar of height h,
// h = count x H / peak rounded to the nearest integer (halves to even),
// covers the h - 1 rows above the bottom edge, the way a line drawn up from
// the row just below the picture stops short of its end point: a bar at the
// peak leaves the top row silver.
#ifndef COMMON_HISTOGRAMPICTURE_H
#define COMMON_HISTOGRAMPICTURE_H

#include <QImage>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <initializer_list>

// Counts of 12-bit data: 4096 bins, drawn folded to 1024.
inline constexpr std::int32_t Bins12Bit = 4096;
inline constexpr std::int32_t FoldedBins12Bit = 1024;

// What the status panels show of a histogram. The count of bin i is the sum
// of the measured arrays' counts at i.
struct HistogramStatistics {
  std::int32_t Min = 0;        // lowest bin with a non-zero count
  std::int32_t Max = -1;       // highest such bin (Max < Min: no counts at all)
  std::uint64_t Total = 0;     // counts from Min to Max
  std::uint64_t Weighted = 0;  // sum of bin x count from Min to Max

  bool Empty() const { return Total == 0; }
};

// Measures one array, or three (red, green, blue) counted together, over
// their first binCount bins.
HistogramStatistics MeasureHistogram(std::initializer_list<const std::uint32_t*> arrays,
                                     std::int32_t binCount);

// The four status panels: "Min:12", "Avg:%.2f", "Max:", "Delta:" (the number
// of values from Min to Max). A histogram without counts has no average:
// every panel then shows "-" after its label.
std::array<QString, 4> HistogramPanelTexts(const HistogramStatistics& statistics);

// Folds 4096 bins of 12-bit counts in place: bin k := bins 4k to 4k + 3, for
// k = 0 to 1023.
void FoldHistogramBins(std::uint32_t* bins);

// How a bar height's exact half is rounded: to even (the camera
// application's windows) or up (the viewer's, trunc(x + 0.5)).
enum class HistogramRounding { HalfEven, HalfUp };

// Height of a bar: count x height / peak rounded to the nearest integer,
// halves by the rounding, the product in 64 bits; 0 when peak is 0.
std::int32_t HistogramBarHeight(std::uint32_t count, std::int32_t height, std::uint32_t peak,
                                HistogramRounding rounding = HistogramRounding::HalfEven);

// One array drawn as black bars on the silver band, each against the
// array's peak. Bins beyond the picture's width are not drawn.
QImage DrawHistogramMono(QSize size, const std::uint32_t* bins, std::int32_t binCount,
                         HistogramRounding rounding = HistogramRounding::HalfEven);

// Three arrays drawn over each other, each against its own peak: a pixel
// gets full red, green and blue from the bars that reach it (red and green
// give yellow, all three white), silver when none does. The band spans the
// three arrays together.
QImage DrawHistogramColor(QSize size, const std::uint32_t* red, const std::uint32_t* green,
                          const std::uint32_t* blue, std::int32_t binCount,
                          HistogramRounding rounding = HistogramRounding::HalfEven);

#endif
