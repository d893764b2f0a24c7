// Shared pieces of the controller and camera-object tests: the application
// object, the simulated camera in a known state, and fakes of the forms.
#ifndef APP_TESTS_APPTESTSUPPORT_H
#define APP_TESTS_APPTESTSUPPORT_H

#include <QCoreApplication>
#include <QMap>
#include <QString>

#include <array>
#include <memory>

#include "APP/control/Commands.h"
#include "QDV47B5API.h"
#include "simcam/SimCamera.h"

// A QCoreApplication for the whole test program (GUI-thread hand-overs need
// one); created on first use in the thread that runs the tests.
inline QCoreApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* application = QCoreApplication::instance() != nullptr
                                             ? QCoreApplication::instance()
                                             : new QCoreApplication(argc, argv);
  return *application;
}

class FakeMainView : public IMainView {
 public:
  void SetPanel(int index, const QString& text) override { panels.at(index) = text; }
  QString Panel(int index) const override { return panels.at(index); }
  void RepaintStatusBar() override { ++repaints; }
  void SetFPSTimerEnabled(bool enabled) override { fpsTimer = enabled; }
  void SetStatisticsTimer(int intervalMs, bool enabled) override {
    statisticsInterval = intervalMs;
    statisticsTimer = enabled;
  }
  void SetVideoPanelFill(bool fill) override { videoPanelFill = fill; }
  void ShowPicture(const std::uint8_t* picture, int width, int height, int bits, int drawnWidth,
                   int drawnHeight) override {
    shown = {picture, width, height, bits, drawnWidth, drawnHeight};
    ++pictures;
  }
  void CenterVideoPanel() override { ++centrings; }

  // The last picture shown.
  struct Picture {
    const std::uint8_t* data = nullptr;
    int width = 0, height = 0, bits = 0, drawnWidth = 0, drawnHeight = 0;
  };
  Picture shown;
  int pictures = 0;
  int centrings = 0;

  std::array<QString, StatusPanelCount> panels;
  int repaints = 0;
  bool fpsTimer = false;
  int statisticsInterval = -1;
  bool statisticsTimer = false;
  bool videoPanelFill = true;
};

class FakeSettingsView : public ISettingsView {
 public:
  void ShowNonModal() override { shown = true; }
  bool IsShown() const override { return shown; }
  void SetDialogEnabled(bool enabled) override { this->enabled = enabled; }
  void SetDebayerSelection(int mode) override { debayer = mode; }
  int SaveImageMode() const override { return 0; }
  QString CapturePath() const override { return QString(); }
  void SetStatisticsText(const QString& editName, const QString& text) override {
    texts[editName] = text;
  }
  void SetExternalInputStatus(bool input1, bool input2) override {
    inputs = {input1, input2};
    ++inputUpdates;
  }

  bool shown = false;
  bool enabled = true;
  int debayer = -1;
  QMap<QString, QString> texts;
  std::array<bool, 2> inputs = {false, false};
  int inputUpdates = 0;
};

class FakeHistogramView : public IHistogramView {
 public:
  void ShowWindow() override { visible = true; }
  void HideWindow() override { visible = false; }
  void UpdateHistogram(const void*, int, int, int) override { ++updates; }
  bool visible = false;
  int updates = 0;
};

// The simulated camera at power-on, in deterministic timing, and a controller
// whose status panels go to a fake main window. Each test gets a fresh
// controller; the camera object is the program-wide one.
class CameraTestBase {
 protected:
  CameraTestBase() : camera(simcam::Install()) {
    TestApplication();
    camera.PowerOn();
    camera.SetTiming(simcam::Timing::Deterministic);
    controller = std::make_unique<TAppCommand>();
    controller->MainView = &mainView;
    previousController = AppCommand;
    AppCommand = controller.get();
    if (CameraDevice == nullptr) CameraDevice = new TCamera();
  }
  ~CameraTestBase() {
    AppCommand = previousController;
    camera.PowerOn();
  }

  QString Status() const { return mainView.panels[PanelStatus]; }
  QString Serial() const { return mainView.panels[PanelSerial]; }

  // Direct driver access, past the camera object.
  struct Driver {
    Driver() : handle(OpenCamera(0)) {}
    ~Driver() {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    DeviceHandle handle;
  };

  simcam::SimCamera& camera;
  FakeMainView mainView;
  std::unique_ptr<TAppCommand> controller;
  TAppCommand* previousController = nullptr;
};

#endif
