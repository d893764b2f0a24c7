#include "APP/CaptureSteps.h"

#include <QCoreApplication>

#include "APP/CaptureMessages.h"
#include "APP/Commands.h"

namespace {

bool captureClaimed = false;

}  // namespace

TCaptureClaim::TCaptureClaim(const TAppCommand& app)
    : held_(!app.CaptureRunning && !captureClaimed) {
  if (held_) captureClaimed = true;
}

TCaptureClaim::~TCaptureClaim() {
  if (held_) captureClaimed = false;
}

TCapturePause::TCapturePause(TAppCommand& app) : app_(app) {
  app_.CaptureRunning = true;
  app_.SuspendThreads();
  if (app_.SettingsView != nullptr) app_.SettingsView->SetDialogEnabled(false);
}

TCapturePause::~TCapturePause() {
  app_.CaptureRunning = false;
  app_.ResumeThreads();
  if (app_.SettingsView != nullptr) app_.SettingsView->SetDialogEnabled(true);
}

bool ReadCaptureStream(const platform::UniqueHandle& device, ViewPortRecord& viewPort,
                       DWORD& streamStatus) {
  if (!device) {
    ShowCaptureError(QStringLiteral("Camera open fail."));
    return false;
  }
  if (!::GetViewPort(device.get(), &viewPort) || !::GetStreamStatus(device.get(), &streamStatus)) {
    ShowCaptureError(QStringLiteral("Cannot get viewport setting."));
    return false;
  }
  return true;
}

void SetCapturePanel(TAppCommand& app, int index, const QString& text) {
  if (app.MainView != nullptr) app.MainView->SetPanel(index, text);
}

void RunCaptureLoop(TAppCommand& app, const std::function<bool()>& pass) {
  SetCapturePanel(app, PanelFPS, QStringLiteral("ESC - STOP"));
  TFrameLimit limit(app.Frames2Capture);
  while (app.CaptureRunning && limit.NextPass()) {
    if (!pass()) break;
    QCoreApplication::processEvents();
  }
}
