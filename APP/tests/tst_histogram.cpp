// The histogram windows: counting by depth and view, statistics in the
// status bar, the window width following the sample depth, the pictures the
// paint box shows, and closing through the controller.
#include <QStatusBar>
#include <QtTest>

#include <algorithm>

#include <cstdint>
#include <vector>

#include "APP/control/Commands.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"

namespace {

const QRgb Grey = qRgb(128, 128, 128);
const QRgb Silver = qRgb(192, 192, 192);
const QRgb White = qRgb(255, 255, 255);

QStringList Panels(const THistogramForm& form) {
  QStringList texts;
  for (int i = 0; i < THistogramForm::PanelCount; ++i) texts << form.Panel(i);
  return texts;
}

// What the paint box shows, painted through its paint handler.
QImage Shown(THistogramForm& form) { return form.PaintBox->grab().toImage(); }

// Column x of a picture, top row first.
std::vector<QRgb> Column(const QImage& image, int x) {
  std::vector<QRgb> column;
  for (int y = 0; y < image.height(); ++y) column.push_back(image.pixel(x, y));
  return column;
}

// A bar over the full height below a silver top row.
std::vector<QRgb> FullBar(int height, QRgb colour) {
  std::vector<QRgb> column(height, colour);
  column[0] = Silver;
  return column;
}

}  // namespace

class TestHistogramWindows : public QObject {
  Q_OBJECT

  std::unique_ptr<THistogramFormRGB> rgb_;
  std::unique_ptr<THistogramFormRAW> raw_;

  // The paint box of 256 columns and its frame, or the status panels'
  // width where their widest texts need more at the font in use.
  static int NarrowWidth(const THistogramForm& form) {
    return std::max(258, form.StatusBar->minimumSizeHint().width());
  }

 private slots:
  void initTestCase() { CommandsUnitInit(); }

  void init() {
    rgb_ = std::make_unique<THistogramFormRGB>();
    rgb_->FormCreate();
    raw_ = std::make_unique<THistogramFormRAW>();
    raw_->FormCreate();
  }

  void cleanup() {
    AppCommand->HistogramRGBView = nullptr;
    AppCommand->HistogramRAWView = nullptr;
  }

  void beforeTheFirstFrame() {
    // RGB: a flat grey histogram over 0 to 255 and its statistics.
    QImage picture = Shown(*rgb_);
    QCOMPARE(picture.size(), QSize(256, 115));
    QCOMPARE(Panels(*rgb_), (QStringList{"Min:0", "Avg:127.50", "Max:255", "Delta:256"}));
    QCOMPARE(Column(picture, 0), FullBar(115, qRgb(0, 0, 0)));
    QCOMPARE(Column(picture, 255), FullBar(115, qRgb(0, 0, 0)));
    // RAW: 256 columns of three full-height bars, an empty status bar.
    picture = Shown(*raw_);
    QCOMPARE(picture.size(), QSize(256, 160));
    QCOMPARE(raw_->width(), NarrowWidth(*raw_));
    QCOMPARE(Panels(*raw_), (QStringList{"", "", "", ""}));
    QCOMPARE(Column(picture, 128), FullBar(160, White));
  }

  void twelveBitFrameAtTheTopAndWidthsFollowingTheDepth() {
    const std::vector<std::uint16_t> top(8 * 4, 4095);
    for (std::uint8_t mono : {0, 1}) {
      raw_->MonoView = mono;
      raw_->UpdateRAW(top.data(), 8, 4, 12);
      QCOMPARE(Panels(*raw_), (QStringList{"Min:4095", "Avg:4095.00", "Max:4095", "Delta:1"}));
      QCOMPARE(raw_->width(), 1026);
      const QImage picture = Shown(*raw_);
      QCOMPARE(picture.width(), 1024);
      // One bar, at the last of the 1024 drawn columns.
      QCOMPARE(Column(picture, 1023), FullBar(160, mono ? qRgb(0, 0, 0) : White));
      QCOMPARE(Column(picture, 1022), std::vector<QRgb>(160, Grey));
    }
    const std::vector<std::uint8_t> eight(8 * 4, 7);
    raw_->UpdateRAW(eight.data(), 8, 4, 8);
    QCOMPARE(raw_->width(), NarrowWidth(*raw_));
    QCOMPARE(raw_->PaintBox->width(), 256);
    raw_->UpdateRAW(top.data(), 8, 4, 10);
    QCOMPARE(raw_->width(), 1026);
    QCOMPARE(raw_->BinCount, 1024);
    // A depth without builders narrows the window and counts nothing.
    raw_->UpdateRAW(eight.data(), 8, 4, 16);
    QCOMPARE(raw_->width(), NarrowWidth(*raw_));
    QCOMPARE(Panels(*raw_), (QStringList{"Min:1023", "Avg:1023.00", "Max:1023", "Delta:1"}));
  }

  void bayerSitesDrawInTheirColours() {
    // GBRG: rows G B G B / R G R G. Red sites 200, green 100, blue 10.
    std::vector<std::uint8_t> frame(4 * 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        frame[4 * y + x] = (y % 2 == 0) ? (x % 2 == 0 ? 100 : 10) : (x % 2 == 0 ? 200 : 100);
    raw_->UpdateRAW(frame.data(), 4, 4, 8);
    QCOMPARE(Panels(*raw_), (QStringList{"Min:10", "Avg:102.50", "Max:200", "Delta:191"}));
    const QImage picture = Shown(*raw_);
    QCOMPARE(Column(picture, 200), FullBar(160, qRgb(255, 0, 0)));
    QCOMPARE(Column(picture, 100), FullBar(160, qRgb(0, 255, 0)));
    QCOMPARE(Column(picture, 10), FullBar(160, qRgb(0, 0, 255)));
    QCOMPARE(Column(picture, 50), std::vector<QRgb>(160, Silver));
    QCOMPARE(Column(picture, 9), std::vector<QRgb>(160, Grey));
  }

  void rgbCountsByDepthAndView() {
    // Two pixels (B, G, R): 10, 20, 30 and 10, 20, 60.
    const std::uint8_t image[6] = {10, 20, 30, 10, 20, 60};
    rgb_->UpdateRGB(image, 2, 1, 24);
    QCOMPARE(rgb_->GreyDrawing, std::uint8_t{0});
    Shown(*rgb_);
    QCOMPARE(Panels(*rgb_), (QStringList{"Min:10", "Avg:25.00", "Max:60", "Delta:51"}));
    // The grey view counts all three channels of every pixel as grey values.
    rgb_->MonoView = 1;
    rgb_->UpdateRGB(image, 2, 1, 24);
    QCOMPARE(rgb_->GreyDrawing, std::uint8_t{1});
    QCOMPARE(rgb_->BinsR[20], 2u);
    QCOMPARE(rgb_->BinsR[60], 1u);
    // An 8-bit picture is always drawn grey, whatever the view.
    rgb_->MonoView = 0;
    rgb_->UpdateRGB(image, 3, 1, 8);
    QCOMPARE(rgb_->GreyDrawing, std::uint8_t{1});
    const QImage picture = Shown(*rgb_);
    QCOMPARE(Panels(*rgb_), (QStringList{"Min:10", "Avg:20.00", "Max:30", "Delta:21"}));
    QCOMPARE(Column(picture, 10), FullBar(115, qRgb(0, 0, 0)));
  }

  void framesWithoutSamplesDrawGrey() {
    const std::uint8_t samples[3] = {1, 2, 3};
    raw_->UpdateRAW(samples, 1, 3, 8);  // no Bayer cell
    QCOMPARE(Panels(*raw_), (QStringList{"Min:-", "Avg:-", "Max:-", "Delta:-"}));
    QCOMPARE(Column(Shown(*raw_), 2), std::vector<QRgb>(160, Grey));
    rgb_->UpdateRGB(samples, 0, 3, 24);
    QCOMPARE(Column(Shown(*rgb_), 0), std::vector<QRgb>(115, Grey));
    QCOMPARE(Panels(*rgb_), (QStringList{"Min:-", "Avg:-", "Max:-", "Delta:-"}));
  }

  void clickTogglesTheViewAndClosingStopsTheFeed() {
    QTest::mouseClick(rgb_->PaintBox, Qt::LeftButton);
    QCOMPARE(rgb_->MonoView, std::uint8_t{1});
    QTest::mouseClick(rgb_.get(), Qt::LeftButton, {}, QPoint(100, 116));
    QCOMPARE(rgb_->MonoView, std::uint8_t{0});
    QTest::mouseClick(rgb_->StatusBar, Qt::LeftButton);
    QCOMPARE(rgb_->MonoView, std::uint8_t{0});

    AppCommand->ShowHistogramRAW(true);
    QVERIFY(raw_->isVisible());
    QVERIFY(AppCommand->Render.RAWHistogramOn);
    raw_->close();
    QVERIFY(!AppCommand->Render.RAWHistogramOn);
    QVERIFY(!raw_->isVisible());
  }
};

QTEST_MAIN(TestHistogramWindows)
#include "tst_histogram.moc"
