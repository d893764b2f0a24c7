// Histogram statistics, panel texts, folding and pictures, pixel by pixel on
// small hand-checked inputs.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/HistogramPicture.h"

namespace {

// One character a pixel: '.' grey, 's' silver, '#' black, and the bar
// colours R red, Y yellow, C cyan, W white; '?' anything else.
std::vector<std::string> Art(const QImage& image) {
  const std::pair<QRgb, char> names[] = {{qRgb(128, 128, 128), '.'}, {qRgb(192, 192, 192), 's'},
                                         {qRgb(0, 0, 0), '#'},       {qRgb(255, 0, 0), 'R'},
                                         {qRgb(255, 255, 0), 'Y'},   {qRgb(0, 255, 255), 'C'},
                                         {qRgb(255, 255, 255), 'W'}};
  std::vector<std::string> rows;
  for (int y = 0; y < image.height(); ++y) {
    std::string row;
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      char c = '?';
      for (const auto& [colour, name] : names)
        if (colour == p) c = name;
      row += c;
    }
    rows.push_back(row);
  }
  return rows;
}

std::array<QString, 4> Texts(std::initializer_list<const std::uint32_t*> arrays, int bins) {
  return HistogramPanelTexts(MeasureHistogram(arrays, bins));
}

TEST(HistogramPicture, PanelTexts) {
  std::vector<std::uint32_t> flat(256, 0x01010101u);  // every byte 1
  EXPECT_EQ(Texts({flat.data()}, 256),
            (std::array<QString, 4>{"Min:0", "Avg:127.50", "Max:255", "Delta:256"}));

  // Three arrays full at 4095: the weighted sum needs more than 32 bits.
  std::vector<std::uint32_t> top(Bins12Bit, 0);
  top[4095] = 0xFFFFFFFFu;
  EXPECT_EQ(Texts({top.data(), top.data(), top.data()}, Bins12Bit),
            (std::array<QString, 4>{"Min:4095", "Avg:4095.00", "Max:4095", "Delta:1"}));
  const HistogramStatistics s = MeasureHistogram({top.data(), top.data(), top.data()}, Bins12Bit);
  EXPECT_EQ(s.Total, 3ull * 0xFFFFFFFFu);
  EXPECT_EQ(s.Weighted, 4095ull * 3 * 0xFFFFFFFFu);

  // The counts of three arrays at a bin add up: bins 1 (3) and 3 (1).
  const std::uint32_t r[4] = {0, 1, 0, 0}, g[4] = {0, 2, 0, 0}, b[4] = {0, 0, 0, 1};
  EXPECT_EQ(Texts({r, g, b}, 4), (std::array<QString, 4>{"Min:1", "Avg:1.50", "Max:3", "Delta:3"}));

  // No counts at all: no average, and no division by zero.
  const std::uint32_t none[8] = {};
  EXPECT_TRUE(MeasureHistogram({none}, 8).Empty());
  EXPECT_EQ(Texts({none}, 8), (std::array<QString, 4>{"Min:-", "Avg:-", "Max:-", "Delta:-"}));
}

TEST(HistogramPicture, BarHeightsRoundHalvesToEvenIn64Bits) {
  struct Case {
    std::uint32_t count;
    std::int32_t height;
    std::uint32_t peak;
    std::int32_t bar;
  };
  const Case cases[] = {
      {1, 3, 2, 2},  // 1.5
      {1, 5, 2, 2},  // 2.5
      {1, 7, 2, 4},  // 3.5
      {1, 1, 2, 0},  // 0.5
      {2, 5, 3, 3},  // 3.33
      {0, 160, 9, 0},
      {5, 160, 0, 0},  // no peak
      {0xFFFFFFFFu, 1080, 0xFFFFFFFFu, 1080},
      {0x80000000u, 1081, 0xFFFFFFFFu, 541},  // 540.50000013
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HistogramBarHeight(c.count, c.height, c.peak), c.bar)
        << c.count << " x " << c.height << " / " << c.peak;
  }
  // Rounding halves up (the viewer's windows): only exact halves differ.
  EXPECT_EQ(HistogramBarHeight(1, 3, 2, HistogramRounding::HalfUp), 2);
  EXPECT_EQ(HistogramBarHeight(1, 5, 2, HistogramRounding::HalfUp), 3);
  EXPECT_EQ(HistogramBarHeight(1, 1, 2, HistogramRounding::HalfUp), 1);
  EXPECT_EQ(HistogramBarHeight(2, 5, 3, HistogramRounding::HalfUp), 3);
  EXPECT_EQ(HistogramBarHeight(0x80000000u, 1081, 0xFFFFFFFFu, HistogramRounding::HalfUp), 541);
}

TEST(HistogramPicture, MonoBarsOnTheSilverBand) {
  // Peak 4 in a picture 4 rows high: a bar of height h fills h - 1 rows, so
  // the peak leaves the top row silver; columns past the bins stay grey.
  const std::uint32_t bins[5] = {0, 2, 4, 1, 0};
  EXPECT_EQ(Art(DrawHistogramMono(QSize(6, 4), bins, 5)),
            (std::vector<std::string>{".sss..", ".s#s..", ".s#s..", ".##s.."}));
  // Heights 1.5 -> 2 and 3: bars of one and two rows.
  const std::uint32_t halves[2] = {1, 2};
  EXPECT_EQ(Art(DrawHistogramMono(QSize(2, 3), halves, 2)),
            (std::vector<std::string>{"ss", "s#", "##"}));
}

TEST(HistogramPicture, ColourBarsMixAdditively) {
  const std::uint32_t red[3] = {4, 2, 0}, green[3] = {2, 0, 4}, blue[3] = {0, 0, 4};
  EXPECT_EQ(Art(DrawHistogramColor(QSize(3, 4), red, green, blue, 3)),
            (std::vector<std::string>{"sss", "RsC", "RsC", "YRC"}));
  // Every count equal: every bar full height, white under a silver top row.
  const std::uint32_t ones[2] = {1, 1};
  EXPECT_EQ(Art(DrawHistogramColor(QSize(2, 3), ones, ones, ones, 2)),
            (std::vector<std::string>{"ss", "WW", "WW"}));
}

TEST(HistogramPicture, EmptyHistogramIsPlainGrey) {
  const std::uint32_t none[4] = {};
  const std::vector<std::string> grey(3, "....");
  EXPECT_EQ(Art(DrawHistogramMono(QSize(4, 3), none, 4)), grey);
  EXPECT_EQ(Art(DrawHistogramColor(QSize(4, 3), none, none, none, 4)), grey);
}

// More bins than columns: the band and the bars stop at the picture's last
// column, while the peak still counts every bin. A drawing that went on would
// write into the next rows (changing their first pixels) and, from the last
// row, past the picture's memory.
TEST(HistogramPicture, BinsBeyondTheColumnsAreClipped) {
  const std::uint32_t none[8] = {};
  const std::uint32_t mono[8] = {0, 2, 1, 0, 2, 2, 2, 2};
  const std::uint32_t red[8] = {0, 2, 2, 0, 2, 2, 0, 0}, green[8] = {0, 0, 2, 0, 0, 0, 2, 0},
                      blue[8] = {0, 0, 0, 0, 0, 0, 0, 2};
  const std::uint32_t late[8] = {0, 0, 0, 0, 3, 0, 0, 1};  // nothing in the columns drawn
  // Peak 4 beyond the picture: the bars inside are measured against it.
  const std::uint32_t tall[8] = {0, 2, 1, 0, 0, 0, 4, 0};
  struct Case {
    const char* name;
    QImage picture;
    std::vector<std::string> art;
  };
  const Case cases[] = {
      {"mono", DrawHistogramMono(QSize(3, 3), mono, 8), {".ss", ".#s", ".##"}},
      {"colour", DrawHistogramColor(QSize(3, 3), red, green, blue, 8), {".ss", ".RY", ".RY"}},
      {"mono, counts only past the picture",
       DrawHistogramMono(QSize(3, 3), late, 8),
       {"...", "...", "..."}},
      {"colour, counts only past the picture",
       DrawHistogramColor(QSize(3, 3), late, none, none, 8),
       {"...", "...", "..."}},
      {"mono, peak past the picture",
       DrawHistogramMono(QSize(3, 4), tall, 8),
       {".ss", ".ss", ".ss", ".#s"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Art(c.picture), c.art) << c.name;
}

TEST(HistogramPicture, TwelveBitCountsFoldToTheDrawnBins) {
  std::vector<std::uint32_t> bins(Bins12Bit, 0);
  bins[0] = 5;
  bins[1000] = 7;  // folds into bin 250
  bins[4092] = 1, bins[4093] = 2, bins[4094] = 3, bins[4095] = 4;
  FoldHistogramBins(bins.data());
  EXPECT_EQ(bins[0], 5u);
  EXPECT_EQ(bins[250], 7u);
  EXPECT_EQ(bins[1023], 10u);
  bins[1023] = 0;
  // Samples from 0 to 1000: the band ends at column 250.
  const std::string top = Art(DrawHistogramMono(QSize(1024, 2), bins.data(), FoldedBins12Bit))[0];
  EXPECT_EQ(top, std::string(251, 's') + std::string(1024 - 251, '.'));
}

}  // namespace
