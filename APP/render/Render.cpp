// Live video: the frame thread, GrabFrame, the render pipeline, the
// demosaicing mode and the zoom.
#include <QCoreApplication>

#include <cstdint>

#include "APP/control/Commands.h"
#include "QDV47B5API.h"
#include "common/Format.h"
#include "common/RenderCore.h"
#include "common/Zoom.h"
#include "imaging.h"

namespace {

// The largest picture: the sensor's full frame.
constexpr std::int32_t MaxPictureWidth = 1920;
constexpr std::int32_t MaxPictureHeight = 1080;

// The render buffers the pipeline decodes and demosaics in.
TRenderBuffers LiveBuffers() { return {Pixels16, Pixels8, Image24}; }

// Whether a frame can be rendered. The region of interest comes from the
// driver and from preset files: a size outside the sensor, or a frame too
// short for its size, would make the decoders read or write beyond their
// buffers.
bool AcceptFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                 std::int32_t width, std::int32_t height) {
  if (!StreamFormatDecodes(code)) return false;
  if (raw == nullptr || width <= 0 || height <= 0 || width > MaxPictureWidth ||
      height > MaxPictureHeight)
    return false;
  return bytes >= FrameBytesNeeded(code, width, height);
}

// The stream's bytes as 8-bit samples (Pixels8) and, for the packed
// formats, as 16-bit samples (Pixels16) mapped through the display lookup.
TRenderFrame DecodeFrame(const TAppCommand& command, std::uint32_t code, const std::uint8_t* raw,
                         std::uint32_t bytes, std::int32_t width, std::int32_t height) {
  TRenderFrame frame;
  UnpackFrame(code, raw, bytes, width, height, LiveBuffers(), frame);
  MapFrameTo8Bit(frame, {command.LUT10, command.LUT12}, LiveBuffers());
  return frame;
}

// The RAW histogram and a pending white balance read the undemosaiced samples.
void MeasureFrame(TAppCommand& command, const TRenderFrame& frame) {
  if (command.RAWHistogramOn && command.HistogramRAWView != nullptr)
    command.HistogramRAWView->UpdateHistogram(frame.raw, frame.width, frame.height, frame.rawBits);
  if (command.WhiteBalancePending) {
    command.WhiteBalancePending = false;
    command.AutoWhiteBalance(frame.raw, frame.width, frame.height, frame.rawBits);
  }
}

void CorrectFrame(const TAppCommand& command, const TRenderFrame& frame) {
  if (frame.pictureBits == 24 && command.ActiveCorrection != nullptr)
    ApplyColorCorrection(command.ActiveCorrection, Image24, frame.width, frame.height);
}

void FillDisplayHeader(const TRenderFrame& frame) {
  FillTopDownHeader(DisplayBitmapInfo.bmiHeader, frame.width, frame.height, frame.pictureBits);
}

// Hands the picture to the main window, sized for the zoom.
void PresentFrame(const TAppCommand& command, const TRenderFrame& frame) {
  if (command.MainView == nullptr) return;
  const TZoomStep& zoom = ZoomStepOfCode(command.Zoom);
  command.MainView->ShowPicture(frame.picture, frame.width, frame.height, frame.pictureBits,
                                zoom.Extent(frame.width), zoom.Extent(frame.height));
}

// The user's requests that wait for a frame: copy, save, the correction
// tool, and the RGB histogram.
void ServeRequests(TAppCommand& command, const TRenderFrame& frame) {
  if (command.CopyPending) {
    command.CopyPending = false;
    WidenGreyPicture(frame, LiveBuffers(), DisplayBitmapInfo.bmiHeader);
    command.CopyBitmapToClipboard(frame.width, frame.height, Image24, DisplayBitmapInfo);
  }
  if (command.SavePending) {
    command.SavePending = false;
    WidenGreyPicture(frame, LiveBuffers(), DisplayBitmapInfo.bmiHeader);
    const std::int32_t format =
        command.SettingsView != nullptr ? command.SettingsView->SaveImageMode() : 0;
    command.SaveFrameFile(command.FrameFileCounter, format, Image24, frame.width, frame.height);
  }
  if (command.CorrectionToolPending) {
    command.CorrectionToolPending = false;
    // A grey picture is not handed to the tool: the request is dropped.
    if (frame.pictureBits == 24) command.RunCorrectionTool(Image24, frame.width, frame.height);
  }
  if (command.RGBHistogramOn && command.HistogramRGBView != nullptr)
    command.HistogramRGBView->UpdateHistogram(frame.picture, frame.width, frame.height,
                                              frame.pictureBits);
}

}  // namespace

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
  const std::uint32_t code = CameraDevice->GetStreamStatus();
  if (code == QDV_STREAM_OFF) return false;
  // Zeroed first: when the region cannot be read the size is 0 x 0 and
  // RenderFrame refuses the frame.
  ViewPortRecord viewPort{};
  CameraDevice->GetViewPort(viewPort);
  std::uint32_t bytes = 0;
  CameraDevice->GetFrame(FrameBuffer, FrameBufferSize, bytes);
  if (bytes > 0) {
    // Sizes beyond the signed range become negative and are refused.
    return RenderFrame(code, FrameBuffer, bytes, static_cast<std::int32_t>(viewPort.SizeX),
                       static_cast<std::int32_t>(viewPort.SizeY), DebayerMode);
  }
  if (TriggerShotArmed) {
    // The first externally triggered frame that did not come in time ends
    // the triggered run: external synchronisation off, outputs kept.
    CameraDevice->SetTriggerControl(CameraDevice->GetTriggerControl() & 15u);
    StopVideo();
    TriggerShotArmed = false;
  }
  return false;
}

bool TAppCommand::RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                              std::int32_t width, std::int32_t height, std::int32_t mode) {
  if (!AcceptFrame(code, raw, bytes, width, height)) return false;
  TRenderFrame frame = DecodeFrame(*this, code, raw, bytes, width, height);
  MeasureFrame(*this, frame);
  DemosaicFrame(frame, mode, LiveBuffers());
  CorrectFrame(*this, frame);
  FillDisplayHeader(frame);
  PresentFrame(*this, frame);
  ServeRequests(*this, frame);
  ++FrameCount;
  QCoreApplication::processEvents();
  return true;
}

// --- Demosaicing mode and zoom -------------------------------------------------------

void TAppCommand::SetDebayerMode(std::int32_t mode) {
  DebayerMode = KnownDebayerMode(mode);
  if (SettingsView != nullptr) SettingsView->SetDebayerSelection(DebayerMode);
}

void TAppCommand::SetZoomPercent(std::int32_t percent) {
  Zoom = ZoomStepOfPercent(percent).code;
  ShowZoom();
}

void TAppCommand::ZoomIn() {
  Zoom = ZoomCodeIn(Zoom, ZoomCodeLargest);
  ShowZoom();
}

void TAppCommand::ZoomOut() {
  Zoom = ZoomCodeOut(Zoom);
  ShowZoom();
}

std::int32_t TAppCommand::GetZoom() const { return Zoom; }

void TAppCommand::SetZoom(std::int32_t code) {
  Zoom = (code >= ZoomCodeSmallest && code <= ZoomCodeLargest) ? code : ZoomCodeOriginal;
}

void TAppCommand::ShowZoom() {
  SetPanel(PanelZoom, FormatText("Zoom: %d%%", ZoomStepOfCode(Zoom).percent));
}

void TAppCommand::CenterVideoPanel() {
  if (MainView != nullptr) MainView->CenterVideoPanel();
}
