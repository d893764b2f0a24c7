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
  Trigger.SetTrigger(*CameraDevice, extSync, out1High, out2High, out1Enabled, out2Enabled, [this] {
    if (!Running) StartVideo();
  });
}

void TAppCommand::SetTriggerMode(bool on) { Trigger.SetTriggerMode(on, TriggerThread); }

void TAppCommand::PollExternalInputs() {
  const std::optional<TExternalInputs> inputs = TTriggerControl::ReadExternalInputs();
  if (inputs && SettingsView != nullptr && SettingsView->IsShown())
    SettingsView->SetExternalInputStatus(inputs->input1, inputs->input2);
}
