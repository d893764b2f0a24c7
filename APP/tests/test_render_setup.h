// The camera application as its program block builds it, for the live-video
// tests and benchmarks: the simulated camera at power-on in deterministic
// timing (each frame read returns the next frame at once), the controller,
// and the main window created and shown. Needs the application object.
#ifndef APP_TESTS_TEST_RENDER_SETUP_H
#define APP_TESTS_TEST_RENDER_SETUP_H

#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "simcam/SimCamera.h"

inline simcam::SimCamera& StartLiveVideoApplication() {
  simcam::SimCamera& sim = simcam::Install();
  sim.PowerOn();
  sim.SetTiming(simcam::Timing::Deterministic);
  CommandsUnitInit();
  MainForm = new TMainForm;
  MainForm->FormCreate();
  MainForm->show();
  return sim;
}

#endif
