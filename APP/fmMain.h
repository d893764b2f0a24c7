// The main window. Placeholder: status bar, timers and the close sequence;
// menus, tool bar and the video area come with the live-video window.
#ifndef APP_FMMAIN_H
#define APP_FMMAIN_H

#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include "Commands.h"

class TMainForm : public QMainWindow, public IMainView {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);

  // Creation handler, run by the program block once the global MainForm
  // refers to this window: sets the controller's main view, Init, CPU timer.
  void FormCreate();

  // IMainView.
  void SetPanel(int index, const QString& text) override;
  QString Panel(int index) const override;
  void RepaintStatusBar() override;
  void SetFPSTimerEnabled(bool enabled) override;
  void SetStatisticsTimer(int intervalMs, bool enabled) override;
  void SetVideoPanelFill(bool fill) override;

  QTimer* tmCPULoad;
  QTimer* tmFPS;
  QTimer* tmStatistics;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* panels_[StatusPanelCount];
};

extern TMainForm* MainForm;

#endif
