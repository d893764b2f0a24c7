#include "fmHistogramRAW.h"

#include <QCloseEvent>

THistogramFormRAW* HistogramFormRAW = nullptr;

THistogramFormRAW::THistogramFormRAW(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HistogramFormRAW"));
  setWindowTitle(QStringLiteral("Histogram(RAW)"));
}

void THistogramFormRAW::FormCreate() { AppCommand->HistogramRAWView = this; }

void THistogramFormRAW::ShowWindow() {
  show();
  raise();
}

void THistogramFormRAW::HideWindow() { hide(); }

void THistogramFormRAW::UpdateHistogram(const void* /*data*/, int /*width*/, int /*height*/,
                                         int /*bits*/) {}

void THistogramFormRAW::closeEvent(QCloseEvent* event) {
  AppCommand->ShowHistogramRAW(false);
  event->accept();
}
