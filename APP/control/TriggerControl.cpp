#include "APP/control/TriggerControl.h"

#include "platform/handle.h"

void TTriggerControl::SetTrigger(TCamera& camera, bool extSync, bool out1High, bool out2High,
                                 bool out1Enabled, bool out2Enabled,
                                 const std::function<void()>& startVideo) {
  const DWORD flags =
      (extSync ? QDV_TRIGGER_EXTERNAL_SYNC : 0) | (out1High ? QDV_TRIGGER_OUT1_HIGH : 0) |
      (out2High ? QDV_TRIGGER_OUT2_HIGH : 0) | (out1Enabled ? QDV_TRIGGER_OUT1_ENABLED : 0) |
      (out2Enabled ? QDV_TRIGGER_OUT2_ENABLED : 0);
  camera.SetTriggerControl(flags);
  if (extSync && startVideo) startVideo();
  TriggerShotArmed = extSync;
}

void TTriggerControl::SetTriggerMode(bool on, TThread* watcher) {
  TriggerMode = on;
  if (watcher == nullptr) return;
  if (on) {
    watcher->Resume();
  } else {
    watcher->Suspend();
  }
}

bool TTriggerControl::EndTriggeredRun(TCamera& camera) {
  if (!TriggerShotArmed) return false;
  // Only the output bits are kept.
  constexpr DWORD outputs = QDV_TRIGGER_OUT1_HIGH | QDV_TRIGGER_OUT2_HIGH |
                            QDV_TRIGGER_OUT1_ENABLED | QDV_TRIGGER_OUT2_ENABLED;
  camera.SetTriggerControl(camera.GetTriggerControl() & outputs);
  TriggerShotArmed = false;
  return true;
}

std::optional<TExternalInputs> TTriggerControl::ReadExternalInputs() {
  // Every failure ends the poll silently; the next signal tries again.
  const platform::UniqueHandle camera(OpenCamera(0));
  if (!camera) return std::nullopt;
  DWORD status = 0;
  if (!GetExternalInputStatus(camera.get(), &status)) return std::nullopt;
  return TExternalInputs{(status & QDV_EXTERNAL_INPUT1_ACTIVE) != 0,
                         (status & QDV_EXTERNAL_INPUT2_ACTIVE) != 0};
}
