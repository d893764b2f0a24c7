// The live picture: the buffers a frame is decoded, demosaiced and drawn
// from, the picture settings (display tables, demosaicing mode, zoom, colour
// correction) and the requests that the next rendered frame serves.
//
// One TLiveRender belongs to the controller. Live video, the AVI capture loop
// and the RAW preview all render through it, one frame at a time in the GUI
// thread. What a frame hands on (the drawn picture, the histograms, the
// white balance, the copy, the saved file, the correction tool) goes out
// through the outlets its owner sets, so the render knows no form and no
// controller.
#ifndef APP_LIVERENDER_H
#define APP_LIVERENDER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>

#include "APP/camera/Camera.h"
#include "common/BitmapInfo.h"
#include "common/FrameBuffers.h"
#include "common/RenderCore.h"
#include "imaging/colorcorrection_ptr.h"

// The frame buffers, about 35 MB: allocated once with their render, kept off
// the stack, and zeroed as pages the system hands over untouched, so that
// memory is taken only as frames fill them.
struct TLiveBuffers {
  // Live frames as the camera delivers them.
  std::uint8_t FrameBuffer[FrameBufferSize];
  // Unpacked 10- and 12-bit samples.
  std::uint16_t Pixels16[Pixels16Count];
  // 8-bit samples for demosaicing.
  std::uint8_t Pixels8[FrameBufferSize];
  // The 24-bit picture (B, G, R) that demosaicing writes.
  std::uint8_t Image24[Image24Size];
};
static_assert(std::is_trivial_v<TLiveBuffers>, "allocated and freed as plain memory");

// Where a rendered frame goes besides the screen. Each outlet may be empty;
// the request it would serve is then only cleared.
struct TRenderOutlets {
  // The picture drawn at drawnWidth x drawnHeight.
  std::function<void(const TRenderFrame& frame, int drawnWidth, int drawnHeight)> present;
  // The undemosaiced samples (RAW histogram) and the drawn picture (RGB
  // histogram), while their window is on.
  std::function<void(const TRenderFrame& frame)> rawHistogram;
  std::function<void(const TRenderFrame& frame)> rgbHistogram;
  // The one-shot white balance on the undemosaiced samples.
  std::function<void(const TRenderFrame& frame)> whiteBalance;
  // The 24-bit picture (Image24) to the clipboard, to a frame file, and to
  // the colour-correction tool.
  std::function<void(int width, int height, const std::uint8_t* picture, const TBitmapInfo& info)>
      copy;
  std::function<void(int width, int height, const std::uint8_t* picture)> save;
  std::function<void(int width, int height, const std::uint8_t* picture)> correctionTool;
};

// What one grab came to.
enum class TGrabResult { StreamOff, NoFrame, NotDrawn, Drawn };

class TLiveRender {
 public:
  // Allocates the buffers and writes the grey display palette.
  TLiveRender();
  TLiveRender(const TLiveRender&) = delete;
  TLiveRender& operator=(const TLiveRender&) = delete;

  // Fills the display tables: 10-bit i -> i / 4, 12-bit i -> i >> 4.
  void FillDisplayTables();

  // One live frame from the camera into FrameBuffer, rendered in DebayerMode.
  TGrabResult GrabFrame(TCamera& camera);
  // The frame (as the camera delivered it) decoded by its stream code,
  // demosaiced by mode, corrected, drawn and handed to the waiting
  // requests; false when it is not drawn (unknown code, a size outside the
  // sensor, too few bytes).
  bool RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                   std::int32_t width, std::int32_t height, std::int32_t mode);

  TRenderOutlets Outlets;

 private:
  struct TFreeBuffers {
    void operator()(TLiveBuffers* buffers) const;
  };
  std::unique_ptr<TLiveBuffers, TFreeBuffers> buffers_;

  TRenderBuffers Buffers() const { return {Pixels16, Pixels8, Image24}; }
  TRenderFrame Decode(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                      std::int32_t width, std::int32_t height);
  void Measure(const TRenderFrame& frame);
  void Correct(const TRenderFrame& frame);
  void Present(const TRenderFrame& frame);
  void ServeRequests(const TRenderFrame& frame);

 public:
  // The buffers, by their names (fixed for the render's life).
  std::uint8_t* const FrameBuffer = buffers_->FrameBuffer;
  std::uint16_t* const Pixels16 = buffers_->Pixels16;
  std::uint8_t* const Pixels8 = buffers_->Pixels8;
  std::uint8_t* const Image24 = buffers_->Image24;
  // Header rewritten by every rendered frame; the grey palette is written
  // once, when the render is created.
  TBitmapInfo DisplayBitmapInfo{};

  // Picture settings.
  std::uint8_t LUT10[1024] = {};
  std::uint8_t LUT12[4096] = {};
  std::int32_t DebayerMode = 0;
  std::int32_t Zoom = 1;
  ColorCorrectionPtr ColorCorrectionObject;
  // Equals ColorCorrectionObject while a correction is on, null while off.
  ColorCorrection* ActiveCorrection = nullptr;

  // Requests the next rendered frame serves, and the histogram feeds.
  bool SavePending = false;
  bool CopyPending = false;
  bool WhiteBalancePending = false;
  bool CorrectionToolPending = false;
  bool RGBHistogramOn = false;
  bool RAWHistogramOn = false;

  // Frames rendered since live video last started.
  std::int32_t FrameCount = 0;
};

#endif
