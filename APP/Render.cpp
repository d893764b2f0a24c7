// Live video: the frame thread, GrabFrame, the render pipeline, the
// demosaicing mode and the zoom.
#include <QCoreApplication>

#include <cstdint>

#include "Commands.h"
#include "Format.h"
#include "QDV47B5API.h"
#include "Zoom.h"
#include "imaging.h"

namespace {

// The largest picture: the sensor's full frame.
constexpr std::int32_t MaxPictureWidth = 1920;
constexpr std::int32_t MaxPictureHeight = 1080;

// The mode as the controller keeps it: a mode outside the families shows
// the samples themselves.
std::int32_t KnownDebayerMode(std::int32_t mode) {
  return (mode >= DEBAYER_BAYER && mode <= DEBAYER_PREVIEW) ? mode : DEBAYER_MONO;
}

// Bytes that the decoder of a stream format reads from a width x height
// frame; a frame with fewer bytes is not rendered. The packed formats are
// read row by row (width * 10 / 8 and width * 3 / 2 bytes a row); compressed
// line records carry their own lengths and the decoder stops at the last
// complete one.
std::uint64_t FrameBytesNeeded(std::uint32_t code, std::int32_t width, std::int32_t height) {
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height);
  switch (code) {
    case QDV_STREAM_RAW8:
      return w * h;
    case QDV_STREAM_PACKED12:
      return w * 3 / 2 * h;
    case QDV_STREAM_PACKED10:
      return w * 10 / 8 * h;
    default:  // QDV_STREAM_COMPRESSED8
      return 1;
  }
}

// One frame on its way from the camera's bytes to the screen.
struct TFramePicture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  // 8-bit samples, demosaiced or shown as they are.
  const std::uint8_t* samples = nullptr;
  // What the RAW histogram and the white balance read: the samples at the
  // stream's own depth.
  const void* rawData = nullptr;
  std::int32_t rawBits = 8;
  // What is drawn: the samples, or the 24-bit picture in Image24.
  const std::uint8_t* picture = nullptr;
  std::int32_t pictureBits = 8;
};

// Whether a frame can be rendered. The region of interest comes from the
// driver and from preset files: a size outside the sensor, or a frame too
// short for its size, would make the decoders read or write beyond their
// buffers.
bool AcceptFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                 std::int32_t width, std::int32_t height) {
  if (code < QDV_STREAM_RAW8 || code > QDV_STREAM_PACKED10) return false;
  if (raw == nullptr || width <= 0 || height <= 0 || width > MaxPictureWidth ||
      height > MaxPictureHeight)
    return false;
  return bytes >= FrameBytesNeeded(code, width, height);
}

// The stream's bytes as 8-bit samples (Pixels8) and, for the packed
// formats, as 16-bit samples (Pixels16).
TFramePicture DecodeFrame(const TAppCommand& command, std::uint32_t code, const std::uint8_t* raw,
                          std::uint32_t bytes, std::int32_t width, std::int32_t height) {
  TFramePicture frame;
  frame.width = width;
  frame.height = height;
  frame.samples = raw;
  frame.rawData = raw;
  switch (code) {
    case QDV_STREAM_RAW8:
      break;
    case QDV_STREAM_PACKED12:
    case QDV_STREAM_PACKED10: {
      // The unpackers write exactly width x height samples, so the table
      // never meets a sample left over from an older frame.
      const bool twelveBit = code == QDV_STREAM_PACKED12;
      (twelveBit ? Unpack12Bit : Unpack10Bit)(raw, width, height, Pixels16);
      ApplyLookupTable16To8(Pixels16, width * height, twelveBit ? command.LUT12 : command.LUT10,
                            Pixels8);
      frame.samples = Pixels8;
      frame.rawData = Pixels16;
      frame.rawBits = twelveBit ? 12 : 10;
      break;
    }
    case QDV_STREAM_COMPRESSED8:
      DecodeCompressedLines(raw, bytes, width, height, Pixels8);
      frame.samples = Pixels8;
      frame.rawData = Pixels8;
      break;
  }
  frame.picture = frame.samples;
  return frame;
}

// The RAW histogram and a pending white balance read the undemosaiced samples.
void MeasureFrame(TAppCommand& command, const TFramePicture& frame) {
  if (command.RAWHistogramOn && command.HistogramRAWView != nullptr)
    command.HistogramRAWView->UpdateHistogram(frame.rawData, frame.width, frame.height,
                                              frame.rawBits);
  if (command.WhiteBalancePending) {
    command.WhiteBalancePending = false;
    command.AutoWhiteBalance(frame.rawData, frame.width, frame.height, frame.rawBits);
  }
}

// Demosaics into Image24 with the mode's GBRG member; a refusal (odd or too
// small sizes) leaves the previous picture there, which is drawn. The
// preview family draws half the size.
void DemosaicFrame(TFramePicture& frame, std::int32_t mode) {
  const std::int32_t family = KnownDebayerMode(mode);
  if (family == DEBAYER_MONO) return;
  Debayer8Member(family, DEBAYER_8TO24, BAYER_GBRG)(frame.samples, frame.width, frame.height,
                                                     Image24);
  frame.picture = Image24;
  frame.pictureBits = 24;
  if (family == DEBAYER_PREVIEW) {
    frame.width /= 2;
    frame.height /= 2;
  }
}

void CorrectFrame(const TAppCommand& command, const TFramePicture& frame) {
  if (frame.pictureBits == 24 && command.ActiveCorrection != nullptr)
    ApplyColorCorrection(command.ActiveCorrection, Image24, frame.width, frame.height);
}

void FillDisplayHeader(const TFramePicture& frame) {
  FillTopDownHeader(DisplayBitmapInfo.bmiHeader, frame.width, frame.height, frame.pictureBits);
}

// Hands the picture to the main window, sized for the zoom.
void PresentFrame(const TAppCommand& command, const TFramePicture& frame) {
  if (command.MainView == nullptr) return;
  const TZoomStep& zoom = ZoomStepOfCode(command.Zoom);
  command.MainView->ShowPicture(frame.picture, frame.width, frame.height, frame.pictureBits,
                                zoom.Extent(frame.width), zoom.Extent(frame.height));
}

// A grey picture copied or saved goes out as 24-bit grey.
void MakeGreyPicture(const TFramePicture& frame) {
  if (frame.pictureBits != 8) return;
  DebayerMono_8to24_GBRG(frame.samples, frame.width, frame.height, Image24);
  DisplayBitmapInfo.bmiHeader.biBitCount = 24;
}

// The user's requests that wait for a frame: copy, save, the correction
// tool, and the RGB histogram.
void ServeRequests(TAppCommand& command, const TFramePicture& frame) {
  if (command.CopyPending) {
    command.CopyPending = false;
    MakeGreyPicture(frame);
    command.CopyBitmapToClipboard(frame.width, frame.height, Image24, DisplayBitmapInfo);
  }
  if (command.SavePending) {
    command.SavePending = false;
    MakeGreyPicture(frame);
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
  TFramePicture frame = DecodeFrame(*this, code, raw, bytes, width, height);
  MeasureFrame(*this, frame);
  DemosaicFrame(frame, mode);
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
