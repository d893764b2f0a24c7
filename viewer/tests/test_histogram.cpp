// The histogram window, pixel-exact on small frames: statistics, folding,
// widths, the grey and colour drawings, the view's toggling, and the main
// form feeding it.
#include <QAction>
#include <QStatusBar>
#include <QTest>

#include <algorithm>

#include "viewer/THistogram.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class HistogramTest : public ViewerTest {
 protected:
  HistogramTest() : histogram(std::make_unique<THistogram>(form.get())) {}
  ~HistogramTest() override {
    form->Session.HistogramView = nullptr;
    histogram.reset();
  }
  QStringList RAWPanels() const {
    return {histogram->Panel(4), histogram->Panel(5), histogram->Panel(6), histogram->Panel(7)};
  }
  static constexpr int H = THistogram::BoxHeight;
  std::unique_ptr<THistogram> histogram;
};

QStringList Texts(const char* a, const char* b, const char* c, const char* d) {
  return {QLatin1String(a), QLatin1String(b), QLatin1String(c), QLatin1String(d)};
}

TEST(HistogramStatisticsTexts, AverageRoundingAndEmpty) {
  std::vector<std::uint32_t> bins(4096, 0);
  bins[1234] = 433;
  bins[1235] = 567;  // mean 1234.567
  EXPECT_EQ(HistogramStatisticsTexts(bins.data(), 4096),
            Texts("Min:1234", "Avg:1234.60", "Max:1235", "Delta:2"));
  bins.assign(4096, 0);
  bins[4000] = 1920 * 1080;  // weighted sum 8,294,400,000: beyond 32 bits
  EXPECT_EQ(HistogramStatisticsTexts(bins.data(), 4096)[1], QStringLiteral("Avg:4000.00"));
  bins.assign(1024, 0);
  EXPECT_EQ(HistogramStatisticsTexts(bins.data(), 1024),
            Texts("Min:1024", "Avg:-", "Max:-1", "Delta:-1024"));
}

TEST_F(HistogramTest, TwelveBitFullScaleFoldsToTheLastColumn) {
  std::vector<std::uint16_t> frame(16 * 4, 4095);
  histogram->UpdateRAW(frame.data(), 16, false, 12, 4);
  EXPECT_EQ(RAWPanels(), Texts("Min:4095", "Avg:4095.00", "Max:4095", "Delta:1"));
  EXPECT_EQ(histogram->RawWidth, 1024);
  const QImage picture = histogram->RAWPicture();
  ASSERT_EQ(picture.size(), QSize(1024, H));
  // One white bar (red, green and blue at their peaks) at column 1023: rows
  // H - 1 .. 1, row 0 silver; every other column the background.
  EXPECT_EQ(picture.pixel(1023, H - 1), qRgb(255, 255, 255));
  EXPECT_EQ(picture.pixel(1023, 1), qRgb(255, 255, 255));
  EXPECT_EQ(picture.pixel(1023, 0), qRgb(192, 192, 192));
  for (int x = 0; x < 1023; ++x) ASSERT_EQ(picture.pixel(x, H - 1), qRgb(128, 128, 128)) << x;
}

TEST_F(HistogramTest, FullFrameAverageAndModeZeroFoldsGrey) {
  std::vector<std::uint16_t> frame(1920 * 1080, 4000);
  histogram->UpdateRAW(frame.data(), 1920, false, 12, 1080);
  EXPECT_EQ(histogram->Panel(5), QStringLiteral("Avg:4000.00"));
  // Grey: samples 0..4095 once each fold to 4 per drawn bin.
  std::vector<std::uint16_t> ramp(4096);
  for (int i = 0; i < 4096; ++i) ramp[i] = static_cast<std::uint16_t>(i);
  histogram->UpdateRAW(ramp.data(), 64, true, 12, 64);
  EXPECT_TRUE(histogram->MonoView);
  for (int k = 0; k < 1024; ++k) ASSERT_EQ(histogram->RAWBins[0][k], 4u) << k;
  EXPECT_EQ(RAWPanels(), Texts("Min:0", "Avg:2047.50", "Max:4095", "Delta:4096"));
  const QImage picture = histogram->RAWPicture();
  EXPECT_EQ(picture.pixel(0, H - 1), qRgb(0, 0, 0));
  EXPECT_EQ(picture.pixel(1023, 1), qRgb(0, 0, 0));
  EXPECT_EQ(picture.pixel(512, 0), qRgb(192, 192, 192));
}

TEST_F(HistogramTest, WidthFollowsTheRAWBits) {
  histogram->show();
  histogram->SetRAWBits(8);
  // The two boxes and their gaps, or the status panels' width where their
  // widest texts need more at the font in use.
  EXPECT_EQ(histogram->width(), std::max(515, histogram->StatusBar->minimumSizeHint().width()));
  EXPECT_EQ(histogram->pbRAW->width(), 256);
  histogram->SetRAWBits(10);
  EXPECT_EQ(histogram->width(), 1283);
  EXPECT_EQ(histogram->pbRAW->width(), 1024);
}

TEST_F(HistogramTest, FlatBeforeAnyFrameAndClicksToggleColourOnly) {
  histogram->ToggleMono();  // grey view: flat black bars over every bin
  histogram->ToggleMono();  // back to colour: flat white bars
  const QImage rgb = histogram->RGBPicture();
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(rgb.pixel(x, H - 1), qRgb(255, 255, 255)) << x;
    ASSERT_EQ(rgb.pixel(x, 1), qRgb(255, 255, 255)) << x;
  }
  EXPECT_FALSE(histogram->MonoView);
  // A grey image keeps the view grey, whatever is clicked.
  std::uint8_t grey[4] = {10, 20, 30, 40};
  histogram->UpdateRGB(grey, 2, true, 2);
  histogram->show();
  QTest::mouseClick(histogram->pbRGB, Qt::LeftButton);
  EXPECT_TRUE(histogram->MonoView);
  // A colour image: a click toggles.
  std::uint8_t colour[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9};
  histogram->UpdateRGB(colour, 2, false, 2);
  QTest::mouseClick(histogram->pbRAW, Qt::LeftButton);
  EXPECT_FALSE(histogram->MonoView);
  EXPECT_EQ(histogram->Panel(0), QStringLiteral("Min:0"));
  EXPECT_EQ(histogram->Panel(2), QStringLiteral("Max:255"));
  // Colour bars: blue's peak at 0 and 255 (B = 255 once, B = 0 twice), red
  // the same mirrored.
  const QImage picture = histogram->RGBPicture();
  EXPECT_EQ(picture.pixel(9, H - 1), qRgb(255, 255, 255));
  EXPECT_EQ(picture.pixel(128, H - 1), qRgb(192, 192, 192));
}

TEST_F(HistogramTest, OneSampleWideFrameHasNoCounts) {
  std::vector<std::uint16_t> frame(5, 700);
  histogram->UpdateRAW(frame.data(), 1, false, 10, 5);
  EXPECT_EQ(RAWPanels(), Texts("Min:1024", "Avg:-", "Max:-1", "Delta:-1024"));
  const QImage picture = histogram->RAWPicture();
  EXPECT_EQ(picture.pixel(700, H - 1), qRgb(128, 128, 128));
  std::vector<std::uint8_t> narrow(3 * 5, 50);
  histogram->UpdateRGB(narrow.data(), 1, false, 5);
  EXPECT_EQ(histogram->Panel(1), QStringLiteral("Avg:50.00"));
}

TEST_F(HistogramTest, HistogramCommandShowsAndFillsIt) {
  const TSampleFile s{1, 320, 180, 3};
  OpenAt(SamplePath(SampleName(s)), 1);
  form->mHistogram->trigger();
  EXPECT_TRUE(histogram->isVisible());
  EXPECT_EQ(histogram->RawWidth, 256);
  EXPECT_TRUE(histogram->Panel(0).startsWith(QStringLiteral("Min:")));
  EXPECT_NE(histogram->Panel(5), QStringLiteral("Avg:-"));
  form->Session.SetDebayerMode(0);
  EXPECT_TRUE(histogram->MonoView);
  histogram->hide();
  histogram->Panel(0);
}

}  // namespace
