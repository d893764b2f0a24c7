#include "fmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QStatusBar>

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("QDV-47B5 Application"));
  resize(974, 711);

  static const int widths[StatusPanelCount] = {65, 175, 65, 70, 85, 100, 50};
  static const char* const texts[StatusPanelCount] = {
      "Status: ????",   "SerialNo: ?.?.?.?.?", "1234.12 fps",         "Zoom: 999%",
      "CPU load: 999%", "Speed: 12.12 Mb/s",   "Packet lost: 123.12%"};
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  for (int i = 0; i < StatusPanelCount; ++i) {
    panels_[i] = new QLabel(QString::fromLatin1(texts[i]), bar);
    panels_[i]->setMinimumWidth(widths[i]);
    bar->addWidget(panels_[i]);
  }

  tmCPULoad = new QTimer(this);
  tmCPULoad->setObjectName(QStringLiteral("tmCPULoad"));
  tmCPULoad->setInterval(3000);
  tmFPS = new QTimer(this);
  tmFPS->setObjectName(QStringLiteral("tmFPS"));
  tmFPS->setInterval(10000);
  tmStatistics = new QTimer(this);
  tmStatistics->setObjectName(QStringLiteral("tmStatistics"));
  tmStatistics->setInterval(5000);
  connect(tmCPULoad, &QTimer::timeout, this, [] { AppCommand->ShowCPULoad(); });
  connect(tmFPS, &QTimer::timeout, this,
          [this] { AppCommand->ShowFPS(tmFPS->interval() / 1000.0); });
  connect(tmStatistics, &QTimer::timeout, this,
          [this] { AppCommand->ShowStatistics(tmStatistics->interval() / 1000.0); });
}

void TMainForm::FormCreate() {
  AppCommand->MainView = this;
  AppCommand->Init();
  tmCPULoad->start();
}

void TMainForm::SetPanel(int index, const QString& text) {
  if (index >= 0 && index < StatusPanelCount) panels_[index]->setText(text);
}

QString TMainForm::Panel(int index) const {
  return index >= 0 && index < StatusPanelCount ? panels_[index]->text() : QString();
}

void TMainForm::RepaintStatusBar() { statusBar()->repaint(); }

void TMainForm::SetFPSTimerEnabled(bool enabled) {
  if (enabled) {
    tmFPS->start();
  } else {
    tmFPS->stop();
  }
}

void TMainForm::SetStatisticsTimer(int intervalMs, bool enabled) {
  tmStatistics->setInterval(intervalMs);
  if (enabled) {
    tmStatistics->start();
  } else {
    tmStatistics->stop();
  }
}

void TMainForm::SetVideoPanelFill(bool /*fill*/) {}

void TMainForm::closeEvent(QCloseEvent* event) {
  tmCPULoad->stop();
  AppCommand->Done();
  event->accept();
  QApplication::quit();
}
