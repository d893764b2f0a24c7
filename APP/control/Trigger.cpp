// Trigger inputs and outputs: the trigger control flags, the display of the
// two external inputs and the thread that watches for their changes.
//
// The driver signals the named event whenever an input changes. The trigger
// thread waits for it itself, so that the GUI thread is never held by the
// wait; only the device read and the update of the two input boxes run in
// the GUI thread.
#include "APP/control/Commands.h"
#include "platform/handle.h"

namespace {

// Slice of the waits and pauses, so that a request to end is seen quickly.
constexpr DWORD SliceMs = 100;

}  // namespace

// ---------------------------------------------------------------------------
// The trigger thread.

void TTriggerThread::Execute() {
  while (WaitWhilePaused()) {
    switch (WaitForTriggerEvent()) {
      case TWaitResult::Signalled:
        Synchronize([] {
          if (AppCommand != nullptr) AppCommand->PollExternalInputs();
        });
        break;
      case TWaitResult::NoEvent: Pause(RetryMs); break;
      case TWaitResult::TimedOut: break;
    }
  }
}

TTriggerThread::TWaitResult TTriggerThread::WaitForTriggerEvent() {
  const platform::UniqueHandle event(OpenEventA(SYNCHRONIZE, 0, eventName_));
  if (!event) return TWaitResult::NoEvent;
  // The wait is cut into slices so that a request to end is seen; the event
  // stays signalled between slices, so no signal is missed.
  for (DWORD waited = 0; waited < WaitMs && !Terminated(); waited += SliceMs) {
    if (WaitForSingleObject(event.get(), SliceMs) == WAIT_OBJECT_0) return TWaitResult::Signalled;
  }
  return TWaitResult::TimedOut;
}

void TTriggerThread::Pause(DWORD ms) {
  for (DWORD slept = 0; slept < ms && !Terminated(); slept += SliceMs) Sleep(SliceMs);
}

// ---------------------------------------------------------------------------
// Controller operations.

void TAppCommand::SetTrigger(bool extSync, bool out1High, bool out2High, bool out1Enabled,
                             bool out2Enabled) {
  const DWORD flags =
      (extSync ? QDV_TRIGGER_EXTERNAL_SYNC : 0) | (out1High ? QDV_TRIGGER_OUT1_HIGH : 0) |
      (out2High ? QDV_TRIGGER_OUT2_HIGH : 0) | (out1Enabled ? QDV_TRIGGER_OUT1_ENABLED : 0) |
      (out2Enabled ? QDV_TRIGGER_OUT2_ENABLED : 0);
  CameraDevice->SetTriggerControl(flags);
  if (extSync) {
    if (!Running) StartVideo();
    TriggerShotArmed = true;
  } else {
    TriggerShotArmed = false;
  }
}

void TAppCommand::SetTriggerMode(bool on) {
  TriggerMode = on;
  if (TriggerThread == nullptr) return;
  if (on) {
    TriggerThread->Resume();
  } else {
    TriggerThread->Suspend();
  }
}

void TAppCommand::PollExternalInputs() {
  // Every failure ends the poll silently; the next signal tries again.
  const platform::UniqueHandle camera(OpenCamera(0));
  if (!camera) return;
  DWORD status = 0;
  if (!GetExternalInputStatus(camera.get(), &status)) return;
  if (SettingsView != nullptr && SettingsView->IsShown()) {
    SettingsView->SetExternalInputStatus((status & QDV_EXTERNAL_INPUT1_ACTIVE) != 0,
                                         (status & QDV_EXTERNAL_INPUT2_ACTIVE) != 0);
  }
}
