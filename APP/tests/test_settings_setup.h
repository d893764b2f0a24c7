// The settings dialog and the main window as the program creates them, on
// the simulated camera, for the dialog and preset tests: a temporary current
// directory (preset files land there), messages collected instead of shown,
// and reads of the camera past the camera object.
#ifndef APP_TESTS_TEST_SETTINGS_SETUP_H
#define APP_TESTS_TEST_SETTINGS_SETUP_H

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "APP/forms/fmSettings.h"
#include "APP/tests/test_render_setup.h"
#include "QDV47B5API.h"
#include "common/Messages.h"

class SettingsApplication {
 public:
  // Call from the test's initTestCase: needs the application object.
  simcam::SimCamera& Start() {
    QDir::setCurrent(folder_.path());
    sink_ = std::make_unique<ScopedMessageSink>(
        [this](MessageKind, const QString&, const QString& text) { Messages << text; });
    simcam::SimCamera& camera = StartLiveVideoApplication();
    SettingsForm = new TSettingsForm;
    SettingsForm->FormCreate();
    return camera;
  }

  QStringList Messages;

 private:
  QTemporaryDir folder_;
  std::unique_ptr<ScopedMessageSink> sink_;
};

// Direct driver access, past the camera object.
struct DirectDriver {
  DirectDriver() : handle(OpenCamera(0)) {}
  ~DirectDriver() { CloseHandle(handle); }
  DirectDriver(const DirectDriver&) = delete;
  DirectDriver& operator=(const DirectDriver&) = delete;

  DWORD Read(BOOL (*get)(DeviceHandle, DWORD*)) const {
    DWORD value = 0xdeadbeef;
    get(handle, &value);
    return value;
  }
  double Rate() const {
    double fps = 0;
    GetFrameRate(handle, &fps);
    return fps;
  }
  // The colour lookup table: red, green, blue.
  std::vector<std::uint16_t> Tables() const {
    std::vector<std::uint16_t> tables(3 * QDV_LOOKUP_ENTRIES);
    GetColorLookupTable(handle, tables.data());
    return tables;
  }

  DeviceHandle handle;
};

#endif
