#include "APP/Program.h"

#include <QApplication>

#include <csignal>

#include "APP/control/Commands.h"
#include "APP/forms/fmAbout.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "APP/forms/fmViewPort.h"
#include "APP/link/SignalExit.h"
#include "simcam/SimCamera.h"

namespace {
template <class Form>
void CreateForm(Form*& global) {
  global = new Form();
  global->FormCreate();
}

template <class Form>
void DestroyForm(Form*& global) {
  delete global;
  global = nullptr;
}
}  // namespace

int RunProgram(int argc, char* argv[], const std::function<void()>& started) {
  // Unit initialisation: the grey display palette and the controller.
  if (AppCommand == nullptr) CommandsUnitInit();
  // The program runs on the simulated camera: it answers as the device that
  // the driver API opens.
  simcam::Install();
  // A file-size limit makes a write fail, reported like a full disk, instead
  // of ending the process in the middle of a capture.
  std::signal(SIGXFSZ, SIG_IGN);

  QApplication application(argc, argv);
  // Forms are hidden, never destroyed, when they close; closing the main
  // window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // Termination signals close the main window as the exit command does, once
  // the message loop runs (a signal that comes earlier waits for it); a
  // running capture ends at its next pass, then the message loop ends.
  const TSignalExit signalExit({SIGTERM, SIGINT, SIGHUP}, [](int) {
    if (MainForm != nullptr && MainForm->isVisible()) MainForm->close();
  });

  // Each global refers to its form before the form's creation handler runs.
  CreateForm(MainForm);
  CreateForm(SettingsForm);
  CreateForm(AboutForm);
  CreateForm(HistogramFormRGB);
  CreateForm(HistogramFormRAW);
  CreateForm(ViewPortForm);

  MainForm->show();
  if (started) started();
  // The GUI library ends the process with exit() when the display goes
  // away; the threads then end and a running capture completes its file.
  // After that, termination signals act at once: the message loop that
  // would have served them no longer runs.
  InstallExitHook();
  const TExitAction defaultSignals([] {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
  });
  const int result = QApplication::exec();

  // The main window has closed and Done has asked the worker threads to end.
  // Threads still waiting for a step in the GUI thread are released, and all
  // of them are joined before the process ends.
  TThread::ShutDownAll();

  AppCommand->MainView = nullptr;
  AppCommand->SettingsView = nullptr;
  AppCommand->AboutView = nullptr;
  AppCommand->HistogramRGBView = nullptr;
  AppCommand->HistogramRAWView = nullptr;
  DestroyForm(ViewPortForm);
  DestroyForm(HistogramFormRAW);
  DestroyForm(HistogramFormRGB);
  DestroyForm(AboutForm);
  DestroyForm(SettingsForm);
  DestroyForm(MainForm);
  return result;
}
