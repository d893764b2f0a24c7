// RAW video capture: TAppCommand::SaveRAWVideo stores every frame the camera
// delivers, untouched, in a RAW video file, while an idle-priority preview
// thread shows the latest frame at half size through the live render
// pipeline.
#ifndef APP_RAWCAPTURE_H
#define APP_RAWCAPTURE_H

#include <atomic>
#include <cstdint>

#include "APP/capture/FramePool.h"
#include "QDV47B5API.h"
#include "common/GuiSync.h"

class TLiveRender;

// The preview thread of one capture: hands one RAWPreviewSync after another
// to the GUI thread, which renders the frame last handed over.
class TRAWThread : public TThread {
 public:
  // Created paused; Start and Resume let it run. Renders through `render`.
  explicit TRAWThread(TLiveRender& render);

  // Hands a frame over for the next preview render. Both this and the
  // render run in the GUI thread, so the byte count always belongs to the
  // frame pointed to. Returns the frame handed over before.
  const std::uint8_t* ShowFrame(const std::uint8_t* frame, std::uint32_t bytes);
  // Renders the last frame handed over (nothing when there is none) in
  // Preview mode, then yields the processor. Runs in the GUI thread.
  void RAWPreviewSync();

  std::uint32_t StreamCode = 0;
  ViewPortRecord ViewPort{};
  std::atomic<const std::uint8_t*> FramePtr{nullptr};
  std::uint32_t FrameBytes = 0;

 protected:
  void Execute() override;

 private:
  TLiveRender& render_;
};

// Replaces how RAW capture files are written (header and pool blocks; null:
// WriteRAWVideoData again) and returns the writer it replaced. Tests slow the
// disk down or make it fail with this.
TFileWriter SetRAWCaptureWriter(TFileWriter writer);

#endif
