#include "APP/render/LiveRender.h"

#include <QCoreApplication>

#include <cstdlib>
#include <new>
#include <utility>

#include "common/Zoom.h"
#include "imaging.h"

namespace {

// The largest picture: the sensor's full frame.
constexpr std::int32_t MaxPictureWidth = 1920;
constexpr std::int32_t MaxPictureHeight = 1080;

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

// Calls an outlet when it is set.
template <class Outlet, class... Args>
void Hand(const Outlet& outlet, Args&&... args) {
  if (outlet) outlet(std::forward<Args>(args)...);
}

// The buffers zeroed: calloc takes fresh pages, which the system zeroes
// when they are first touched, instead of writing 35 MB of zeros.
TLiveBuffers* AllocateBuffers() {
  void* memory = std::calloc(1, sizeof(TLiveBuffers));
  if (memory == nullptr) throw std::bad_alloc();
  return static_cast<TLiveBuffers*>(memory);
}
}  // namespace

void TLiveRender::TFreeBuffers::operator()(TLiveBuffers* buffers) const { std::free(buffers); }

TLiveRender::TLiveRender() : buffers_(AllocateBuffers()) { FillGreyPalette(DisplayBitmapInfo); }

void TLiveRender::FillDisplayTables() { FillDefaultDisplayLookup(LUT10, LUT12); }

TGrabResult TLiveRender::GrabFrame(TCamera& camera) {
  const std::uint32_t code = camera.GetStreamStatus();
  if (code == QDV_STREAM_OFF) return TGrabResult::StreamOff;
  // Zeroed first: when the region cannot be read the size is 0 x 0 and
  // RenderFrame refuses the frame.
  ViewPortRecord viewPort{};
  camera.GetViewPort(viewPort);
  std::uint32_t bytes = 0;
  camera.GetFrame(FrameBuffer, FrameBufferSize, bytes);
  if (bytes == 0) return TGrabResult::NoFrame;
  // Sizes beyond the signed range become negative and are refused.
  return RenderFrame(code, FrameBuffer, bytes, static_cast<std::int32_t>(viewPort.SizeX),
                     static_cast<std::int32_t>(viewPort.SizeY), DebayerMode)
             ? TGrabResult::Drawn
             : TGrabResult::NotDrawn;
}

bool TLiveRender::RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                              std::int32_t width, std::int32_t height, std::int32_t mode) {
  if (!AcceptFrame(code, raw, bytes, width, height)) return false;
  TRenderFrame frame = Decode(code, raw, bytes, width, height);
  Measure(frame);
  DemosaicFrame(frame, mode, Buffers());
  Correct(frame);
  FillTopDownHeader(DisplayBitmapInfo.bmiHeader, frame.width, frame.height, frame.pictureBits);
  Present(frame);
  ServeRequests(frame);
  ++FrameCount;
  QCoreApplication::processEvents();
  return true;
}

// The stream's bytes as 8-bit samples (Pixels8) and, for the packed
// formats, as 16-bit samples (Pixels16) mapped through the display lookup.
TRenderFrame TLiveRender::Decode(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                                 std::int32_t width, std::int32_t height) {
  TRenderFrame frame;
  UnpackFrame(code, raw, bytes, width, height, Buffers(), frame);
  MapFrameTo8Bit(frame, {LUT10, LUT12}, Buffers());
  return frame;
}

// The RAW histogram and a pending white balance read the undemosaiced samples.
void TLiveRender::Measure(const TRenderFrame& frame) {
  if (RAWHistogramOn) Hand(Outlets.rawHistogram, frame);
  if (WhiteBalancePending) {
    WhiteBalancePending = false;
    Hand(Outlets.whiteBalance, frame);
  }
}

void TLiveRender::Correct(const TRenderFrame& frame) {
  if (frame.pictureBits == 24 && ActiveCorrection != nullptr)
    ApplyColorCorrection(ActiveCorrection, Image24, frame.width, frame.height);
}

// Hands the picture on, sized for the zoom.
void TLiveRender::Present(const TRenderFrame& frame) {
  const TZoomStep& zoom = ZoomStepOfCode(Zoom);
  Hand(Outlets.present, frame, zoom.Extent(frame.width), zoom.Extent(frame.height));
}

// The user's requests that wait for a frame: copy, save, the correction
// tool, and the RGB histogram.
void TLiveRender::ServeRequests(const TRenderFrame& frame) {
  if (CopyPending) {
    CopyPending = false;
    WidenGreyPicture(frame, Buffers(), DisplayBitmapInfo.bmiHeader);
    Hand(Outlets.copy, frame.width, frame.height, Image24, DisplayBitmapInfo);
  }
  if (SavePending) {
    SavePending = false;
    WidenGreyPicture(frame, Buffers(), DisplayBitmapInfo.bmiHeader);
    Hand(Outlets.save, frame.width, frame.height, Image24);
  }
  if (CorrectionToolPending) {
    CorrectionToolPending = false;
    // A grey picture is not handed to the tool: the request is dropped.
    if (frame.pictureBits == 24) Hand(Outlets.correctionTool, frame.width, frame.height, Image24);
  }
  if (RGBHistogramOn) Hand(Outlets.rgbHistogram, frame);
}
