// The trigger lines: the trigger control flags written to the camera, the
// end of an externally triggered run at its first missing frame, and the
// display of the two external inputs.
#ifndef APP_TRIGGERCONTROL_H
#define APP_TRIGGERCONTROL_H

#include <functional>
#include <optional>

#include "APP/camera/Camera.h"
#include "common/GuiSync.h"

// The two external inputs, active or not.
struct TExternalInputs {
  bool input1 = false;
  bool input2 = false;
};

class TTriggerControl {
 public:
  // Writes the trigger control flags. External synchronisation arms the end
  // of the triggered run and calls startVideo first (the caller's live
  // video, started when stopped); without it the run is disarmed.
  void SetTrigger(TCamera& camera, bool extSync, bool out1High, bool out2High, bool out1Enabled,
                  bool out2Enabled, const std::function<void()>& startVideo);
  // The input display on or off: the watching thread (none: null) is
  // resumed or paused with it.
  void SetTriggerMode(bool on, TThread* watcher);
  // A live frame read that yielded nothing: an armed run ends there, with
  // external synchronisation off and the output bits kept. True when it
  // ended (the caller then stops live video).
  bool EndTriggeredRun(TCamera& camera);
  // The inputs as the driver reports them; nothing when the device cannot
  // be opened or read.
  static std::optional<TExternalInputs> ReadExternalInputs();

  // The external-input display is on.
  bool TriggerMode = false;
  // External synchronisation is on; the first frame read that yields
  // nothing ends it.
  bool TriggerShotArmed = false;
};

#endif
