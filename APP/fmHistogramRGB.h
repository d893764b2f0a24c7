// The RGB histogram window. Placeholder: shown and hidden through the
// controller; the counting and drawing come with the histogram windows.
#ifndef APP_FMHISTOGRAMRGB_H
#define APP_FMHISTOGRAMRGB_H

#include <QDialog>

#include "Commands.h"

class THistogramFormRGB : public QDialog, public IHistogramView {
  Q_OBJECT

 public:
  explicit THistogramFormRGB(QWidget* parent = nullptr);
  void FormCreate();

  // IHistogramView.
  void ShowWindow() override;
  void HideWindow() override;
  void UpdateHistogram(const void* data, int width, int height, int bits) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
};

extern THistogramFormRGB* HistogramFormRGB;

#endif
