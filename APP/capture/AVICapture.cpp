// AVI capture: the rendered live picture of an 8-bit stream recorded as an
// uncompressed 24-bit AVI file, one key frame per frame read.
#include <atomic>
#include <cstdint>
#include <thread>

#include "APP/capture/AVIFile.h"
#include "APP/capture/CaptureMessages.h"
#include "APP/capture/CaptureSteps.h"
#include "APP/control/Commands.h"
#include "QDV47B5API.h"
#include "common/Format.h"
#include "common/GuiSync.h"
#include "common/Messages.h"
#include "common/RenderCore.h"
#include "imaging.h"
#include "platform/avifile.h"
#include "platform/handle.h"

namespace {

// A region the capture can hold: the picture fits Image24 and the samples
// fit FrameBuffer (the render pipeline refuses larger ones, and AVI frames
// are read from Image24).
bool RegionFits(const ViewPortRecord& viewPort) {
  const std::uint64_t pixels = std::uint64_t{viewPort.SizeX} * viewPort.SizeY;
  return viewPort.SizeX > 0 && viewPort.SizeY > 0 && pixels <= FrameBufferSize &&
         pixels * 3 <= Image24Size;
}

// One AVI capture from the open device to its file: the steps of SaveVideo,
// each a member, with what the capture owns.
class TAVICapture {
 public:
  TAVICapture(TAppCommand& app, TLiveRender& render)
      : app_(app), render_(render), device_(OpenCamera(0)) {}

  void Run() {
    if (!Prepare() || !CreateFile()) return;
    Record();
    Report();
  }

 private:
  // The device, its region and an 8-bit stream. Every failure is reported
  // and leaves nothing behind.
  bool Prepare() {
    DWORD streamStatus = 0;
    if (!ReadCaptureStream(device_, viewPort_, streamStatus)) return false;
    if (!RegionFits(viewPort_)) {
      ShowCaptureError(QStringLiteral("Cannot get viewport setting."));
      return false;
    }
    if (streamStatus != QDV_STREAM_RAW8) {
      ShowCaptureError(QStringLiteral("Cannot save no 8bpp video"));
      return false;
    }
    return true;
  }

  // The file, its frame size fixed by the demosaicing mode of now: the mode
  // stays for the whole file, whatever the user picks meanwhile, so every
  // frame has the size and kind the header announces. A file that cannot be
  // made ends the capture before it starts.
  bool CreateFile() {
    mode_ = render_.DebayerMode;
    const QString folder =
        app_.SettingsView != nullptr ? app_.SettingsView->CapturePath() : QString();
    fileName_ = app_.NextCaptureFileName(folder + QStringLiteral("VIDEO_"), QStringLiteral(".AVI"),
                                         app_.Captures.AVICounter);
    const std::uint32_t rate = platform::AVIStreamRate(app_.GetFrameRate(), RateScale,
                                                       platform::AVIRateRounding::HalvesToEven);
    if (AVIOpen(fileName_, PictureExtent(mode_, SizeX()), PictureExtent(mode_, SizeY()), FrameBits,
                RateScale, static_cast<std::int32_t>(rate)))
      return true;
    ShowCaptureError(QStringLiteral("Cannot create AVI file ") + fileName_);
    return false;
  }

  // Live video paused while frames are read, rendered and written; the file
  // is completed before live video resumes.
  void Record() {
    // The process may end through exit() from inside the loop (the display
    // was lost): the stack never unwinds, so the file is completed there.
    std::atomic<bool> closing{false};
    const TExitAction completeAtExit([&closing] {
      while (closing.load()) std::this_thread::yield();  // closing on its own thread
      AVIClose();
    });
    const TCapturePause pause(app_);
    RunCaptureLoop(app_, [this] { return CapturePass(); });
    // Closed before anything is told: while a message waits, the file is
    // complete and any program can read it. Completing its index may take a
    // while: the window goes on answering meanwhile.
    bool closed = false;
    closing.store(true);
    RunServingEvents([&] {
      closed = AVIClose();
      closing.store(false);
    });
    writeFailed_ = !closed || writeFailed_;
  }

  // One frame read, counted, rendered and written. False when the capture
  // has to end: the file is full, or a frame could not be written (the next
  // ones would fail the same way; the file keeps the frames before it).
  bool CapturePass() {
    DWORD bytes = 0;
    if (!GetFrame(device_.get(), render_.FrameBuffer, FrameBufferSize, &bytes)) return true;
    ++count_;
    SetCapturePanel(app_, PanelStatus, FormatText("%d", count_));
    // A frame the pipeline refuses (too short for the region) drew nothing:
    // Image24 still holds an older picture, which is not stored again.
    if (!render_.RenderFrame(QDV_STREAM_RAW8, render_.FrameBuffer, bytes, SizeX(), SizeY(), mode_))
      return true;
    if (mode_ == DEBAYER_MONO)
      DebayerMono_8to24_GBRG(render_.FrameBuffer, SizeX(), SizeY(), render_.Image24);
    if (!AVINextFrameFits()) {
      sizeLimitReached_ = true;
      return false;
    }
    writeFailed_ = !AVIAddFrame(render_.Image24);
    return !writeFailed_;
  }

  void Report() const {
    if (writeFailed_)
      ShowCaptureWriteError(fileName_, AVIFramesKept());
    else if (sizeLimitReached_)
      ShowCaptureError(QStringLiteral("AVI file size limit reached, capture stopped: ") +
                       fileName_);
  }

  std::int32_t SizeX() const { return static_cast<std::int32_t>(viewPort_.SizeX); }
  std::int32_t SizeY() const { return static_cast<std::int32_t>(viewPort_.SizeY); }

  // The stream rate is frames per second over this scale.
  static constexpr std::int32_t RateScale = 1000;
  // Every frame is the rendered picture, B, G, R.
  static constexpr std::int32_t FrameBits = 24;

  TAppCommand& app_;
  // The buffers the frames are read into and rendered in.
  TLiveRender& render_;
  platform::UniqueHandle device_;  // the capture's own driver handle, open for the whole capture
  ViewPortRecord viewPort_{};
  std::int32_t mode_ = DEBAYER_MONO;
  QString fileName_;
  std::int32_t count_ = 0;
  bool writeFailed_ = false;
  bool sizeLimitReached_ = false;
};

}  // namespace

void TAppCommand::SaveVideo() {
  // Another capture owns the camera, the picture buffers and the file name
  // counters until it ends.
  const TCaptureClaim claim(*this);
  if (claim) TAVICapture(*this, Render).Run();
}
