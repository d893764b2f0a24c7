#include "fmHistogramRGB.h"

#include <QCloseEvent>

THistogramFormRGB* HistogramFormRGB = nullptr;

THistogramFormRGB::THistogramFormRGB(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HistogramFormRGB"));
  setWindowTitle(QStringLiteral("Histogram"));
}

void THistogramFormRGB::FormCreate() { AppCommand->HistogramRGBView = this; }

void THistogramFormRGB::ShowWindow() {
  show();
  raise();
}

void THistogramFormRGB::HideWindow() { hide(); }

void THistogramFormRGB::UpdateHistogram(const void* /*data*/, int /*width*/, int /*height*/,
                                         int /*bits*/) {}

void THistogramFormRGB::closeEvent(QCloseEvent* event) {
  AppCommand->ShowHistogramRGB(false);
  event->accept();
}
