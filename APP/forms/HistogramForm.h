// What the two histogram windows have in common: a dialog-style window with
// a paint box and a status bar of four panels, the click that toggles the
// grey view, closing through the controller, and painting from an off-screen
// picture.
#ifndef APP_HISTOGRAMFORM_H
#define APP_HISTOGRAMFORM_H

#include <QDialog>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

#include "APP/control/Commands.h"

class QLabel;
class QStatusBar;
class THistogramForm;

// The paint box: paints what its form draws, and forwards clicks to it.
class THistogramPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit THistogramPaintBox(THistogramForm* form);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  THistogramForm* form_;
};

class THistogramForm : public QDialog, public IHistogramView {
  Q_OBJECT
 public:
  static constexpr int PanelCount = 4;

  // The window as designed: its client size, the paint box's place, the
  // status bar's top, and the controller operation that shows and hides it.
  struct Design {
    const char* name;
    const char* caption;
    QSize clientSize;
    QRect paintBox;
    int statusBarTop;
    void (TAppCommand::*show)(bool);
    std::int32_t binCount;  // the most bins the statistics run over
  };

  // IHistogramView.
  void ShowWindow() override;
  void HideWindow() override;

  // Click on the form or the paint box: the grey view on or off. Nothing is
  // redrawn at once.
  void FormClick();
  void PaintBoxClick() { FormClick(); }
  // Closing the window stops its feed through the controller.
  void FormClose();
  // Draws the picture and copies it to the paint box; a paint requested
  // while one is under way is skipped.
  void PaintBoxPaint(QPainter& painter);

  // The picture a paint shows now, from the counts.
  virtual QImage DrawPicture() = 0;

  QString Panel(int index) const;

  std::uint8_t MonoView = 0;
  bool Painting = false;

  THistogramPaintBox* PaintBox = nullptr;
  QStatusBar* StatusBar = nullptr;

 protected:
  explicit THistogramForm(const Design& design, QWidget* parent);

  // Samples in a frame of width x height with perPixel samples a pixel; 0
  // for a frame without any (the counts then come out empty).
  static std::int32_t SampleCount(int width, int height, int perPixel);

  void SetPanels(const std::array<QString, PanelCount>& texts);
  // Client width follows the paint box (RAW window).
  void SetPaintBoxWidth(int width);
  // The client width: the paint box's and its frame, or more where the
  // status panels need it.
  void SetClientWidth(int paintBoxWidth);
  // Asks for a paint of the paint box (the end of every update).
  void Paint();

  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void (TAppCommand::*show_)(bool);
  std::array<QLabel*, PanelCount> panels_{};
};

#endif
