#include "APP/capture/CaptureSteps.h"

#include <QCoreApplication>

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <thread>

#include "APP/capture/CaptureMessages.h"
#include "APP/control/Commands.h"

namespace {

bool captureClaimed = false;

}  // namespace

TCaptureClaim::TCaptureClaim(const TAppCommand& app)
    : held_(!app.Captures.CaptureRunning && !captureClaimed) {
  if (held_) captureClaimed = true;
}

TCaptureClaim::~TCaptureClaim() {
  if (held_) captureClaimed = false;
}

TCapturePause::TCapturePause(TAppCommand& app) : app_(app) {
  app_.Captures.CaptureRunning = true;
  app_.SuspendThreads();
  if (app_.SettingsView != nullptr) app_.SettingsView->SetDialogEnabled(false);
}

TCapturePause::~TCapturePause() {
  app_.Captures.CaptureRunning = false;
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
  TFrameLimit limit(app.Captures.Frames2Capture);
  while (app.Captures.CaptureRunning && limit.NextPass()) {
    if (!pass()) break;
    QCoreApplication::processEvents();
  }
}

void ServeEventsUntil(const std::function<bool()>& done, QEventLoop::ProcessEventsFlags flags) {
  if (done()) return;
  // A nested event loop, not a loop of processEvents calls: it sleeps until
  // something is due and serves the window system and the timers as the main
  // loop does.
  QEventLoop loop;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(1);
  while (!done()) {
    loop.exec(flags);
    // A loop started while the program quits returns at once: the events
    // are then served by hand until done.
    if (!done()) {
      QCoreApplication::processEvents(flags);
      std::this_thread::yield();
    }
  }
}

void RunServingEvents(const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done.store(true);
  });
  ServeEventsUntil([&] { return done.load(); });
  worker.join();
}
