// Live video as the controller offers it: the frame thread, GrabFrame and
// RenderFrame (handed to the live render), the demosaicing mode and the zoom.

#include <cstdint>

#include "APP/control/Commands.h"
#include "QDV47B5API.h"
#include "common/Format.h"
#include "common/Zoom.h"

// --- Frame thread --------------------------------------------------------------

void TFrameThread::Execute() {
  while (!Terminated()) {
    if (!Synchronize([this] { FrameThreadSync(); })) {
      // Ending, or the GUI no longer serves hand-overs (shut-down).
      if (Terminated() || GuiSynchronizationCancelled()) break;
    }
  }
}

void TFrameThread::FrameThreadSync() { AppCommand->GrabFrame(); }

// --- Grab and render -------------------------------------------------------------

bool TAppCommand::GrabFrame() {
  const TGrabResult result = Render.GrabFrame(*CameraDevice);
  // The first externally triggered frame that did not come in time ends the
  // triggered run, and live video with it.
  if (result == TGrabResult::NoFrame && Trigger.EndTriggeredRun(*CameraDevice)) StopVideo();
  return result == TGrabResult::Drawn;
}

bool TAppCommand::RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                              std::int32_t width, std::int32_t height, std::int32_t mode) {
  return Render.RenderFrame(code, raw, bytes, width, height, mode);
}

// --- Demosaicing mode and zoom -------------------------------------------------------

void TAppCommand::SetDebayerMode(std::int32_t mode) {
  Render.DebayerMode = KnownDebayerMode(mode);
  if (SettingsView != nullptr) SettingsView->SetDebayerSelection(Render.DebayerMode);
}

void TAppCommand::SetZoomPercent(std::int32_t percent) {
  Render.Zoom = ZoomStepOfPercent(percent).code;
  ShowZoom();
}

void TAppCommand::ZoomIn() {
  Render.Zoom = ZoomCodeIn(Render.Zoom, ZoomCodeLargest);
  ShowZoom();
}

void TAppCommand::ZoomOut() {
  Render.Zoom = ZoomCodeOut(Render.Zoom);
  ShowZoom();
}

std::int32_t TAppCommand::GetZoom() const { return Render.Zoom; }

void TAppCommand::SetZoom(std::int32_t code) {
  Render.Zoom = (code >= ZoomCodeSmallest && code <= ZoomCodeLargest) ? code : ZoomCodeOriginal;
}

void TAppCommand::ShowZoom() {
  SetPanel(PanelZoom, FormatText("Zoom: %d%%", ZoomStepOfCode(Render.Zoom).percent));
}

void TAppCommand::CenterVideoPanel() {
  if (MainView != nullptr) MainView->CenterVideoPanel();
}
