// The viewer's histogram window: the rendered image's histogram (256 bins)
// on the left, the RAW frame's before the 8-bit mapping (256 bins for 8-bit
// frames, 1024 for 10- and 12-bit ones, 12-bit folded by four) on the right,
// each as one grey histogram or red, green and blue drawn over each other,
// with minimum, average, maximum and spread in the status bar. The main
// form's render feeds it while it is visible.
#ifndef VIEWER_THISTOGRAM_H
#define VIEWER_THISTOGRAM_H

#include <QDialog>
#include <QImage>
#include <QStringList>

#include <cstdint>
#include <functional>

#include "viewer/MainForm.h"

class QLabel;
class QStatusBar;

// The four statistics texts of a histogram of n bins: "Min:", "Avg:"
// (rounded to 5 significant digits, then 2 decimals; "-" without counts, when
// Min is n and Max -1), "Max:" and "Delta:". Sums in 64 bits.
QStringList HistogramStatisticsTexts(const std::uint32_t* bins, std::int32_t n);

// A paint box: its paint event runs a handler.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr) : QWidget(parent) {}
  std::function<void()> OnPaint;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (OnPaint) OnPaint();
  }
};

class THistogram : public QDialog, public IViewerHistogram {
  Q_OBJECT
 public:
  static constexpr int StatusPanelCount = 9;
  static constexpr int BoxHeight = 165;

  explicit THistogram(TAppForm* appForm, QWidget* parent = nullptr);

  // IViewerHistogram.
  bool IsShown() const override { return isVisible(); }
  void ShowNonModal() override;
  void UpdateRAW(const void* data, std::int32_t width, bool mono, std::int32_t bits,
                 std::int32_t height) override;
  void UpdateRGB(const std::uint8_t* image, std::int32_t width, bool mono,
                 std::int32_t height) override;
  // Back to the state before any frame: flat histograms, empty panels.
  void Clear() override;

  void SetRAWBits(std::int32_t bits);
  void ToggleMono();
  void FormActivate();
  QString Panel(int index) const;
  // The pictures the last paints drew.
  QImage RGBPicture() const { return rgbPicture_; }
  QImage RAWPicture() const { return rawPicture_; }

  bool MonoImage = false;
  bool MonoView = false;
  std::int32_t RawBits = 8;
  std::int32_t RawWidth = 256;
  bool PaintingRGB = false;
  bool PaintingRAW = false;
  // Total, red, green, blue.
  std::uint32_t RGBBins[4][256];
  std::uint32_t RAWBins[4][1024];

  QLabel* lbRGB = nullptr;
  TPaintBox* pbRGB = nullptr;
  QLabel* lbRAW = nullptr;
  TPaintBox* pbRAW = nullptr;
  QStatusBar* StatusBar = nullptr;

  // The boxes' pictures from their bins.
  void DrawRGB();
  void DrawRAW();

 public slots:
  void pbRGBClick();
  void pbRAWClick();
  void pbRGBPaint();
  void pbRAWPaint();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FillFlatBins();
  void ShowStatistics(const std::uint32_t* bins, std::int32_t n, int firstPanel);
  // A box's picture from its bins: the grey histogram of the total or the
  // colour one of red, green and blue.
  QImage DrawBins(TPaintBox* box, const std::uint32_t* const bins[4], std::int32_t n) const;
  // A box's paint: its picture (drawn first when it has none of the box's
  // size), once at a time.
  void ShowPicture(TPaintBox* box, bool& painting, const QImage& picture,
                   const std::function<void()>& draw);
  // A box's picture is redrawn: painted at once when the box is visible.
  void RefreshBox(TPaintBox* box);
  void PlaceBoxes();

  // 12-bit counts before folding: total, red, green, blue.
  std::uint32_t wide_[4][4096];
  QLabel* panels_[StatusPanelCount] = {};
  QImage rgbPicture_;
  QImage rawPicture_;
  TAppForm* appForm_;
};

extern THistogram* Histogram;

#endif
