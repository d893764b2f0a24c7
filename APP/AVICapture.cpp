// AVI capture: the rendered live picture of an 8-bit stream recorded as an
// uncompressed 24-bit AVI file, one key frame per frame read.
#include <QCoreApplication>

#include <cstdint>

#include "AVIFile.h"
#include "CaptureMessages.h"
#include "Commands.h"
#include "Format.h"
#include "GuiSync.h"
#include "Messages.h"
#include "QDV47B5API.h"
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

}  // namespace

void TAppCommand::SaveVideo() {
  // Another capture owns the camera, the picture buffers and the file name
  // counters until it ends.
  if (CaptureRunning) return;

  // The capture's own driver handle, held for the whole capture.
  const platform::UniqueHandle device(OpenCamera(0));
  if (!device) {
    ShowCaptureError(QStringLiteral("Camera open fail."));
    return;
  }
  ViewPortRecord viewPort{};
  DWORD streamStatus = 0;
  if (!GetViewPort(device.get(), &viewPort) || !GetStreamStatus(device.get(), &streamStatus) ||
      !RegionFits(viewPort)) {
    ShowCaptureError(QStringLiteral("Cannot get viewport setting."));
    return;
  }
  if (streamStatus != QDV_STREAM_RAW8) {
    ShowCaptureError(QStringLiteral("Cannot save no 8bpp video"));
    return;
  }

  // The mode stays as it is now for the whole file, whatever the user picks
  // meanwhile: every frame has the size and kind the header announces.
  const std::int32_t mode = DebayerMode;
  const auto sizeX = static_cast<std::int32_t>(viewPort.SizeX);
  const auto sizeY = static_cast<std::int32_t>(viewPort.SizeY);
  const std::int32_t width = mode == DEBAYER_PREVIEW ? sizeX / 2 : sizeX;
  const std::int32_t height = mode == DEBAYER_PREVIEW ? sizeY / 2 : sizeY;

  const QString folder = SettingsView != nullptr ? SettingsView->CapturePath() : QString();
  const QString name =
      NextCaptureFileName(folder + QStringLiteral("VIDEO_"), QStringLiteral(".AVI"), AVICounter);
  const std::uint32_t rate =
      platform::AVIStreamRate(GetFrameRate(), 1000, platform::AVIRateRounding::HalvesToEven);
  // A file that cannot be made ends the capture before it starts.
  if (!AVIOpen(name, width, height, 24, 1000, static_cast<std::int32_t>(rate))) {
    ShowCaptureError(QStringLiteral("Cannot create AVI file ") + name);
    return;
  }

  // The process may end through exit() from inside the loop (the display
  // was lost): the stack never unwinds, so the file is completed there.
  const TExitAction completeAtExit([] { AVIClose(); });
  CaptureRunning = true;
  SuspendThreads();
  if (SettingsView != nullptr) SettingsView->SetDialogEnabled(false);
  SetPanel(PanelFPS, QStringLiteral("ESC - STOP"));

  std::int32_t count = 0;
  bool writeFailed = false;
  bool sizeLimitReached = false;
  std::int32_t remaining = Frames2Capture;
  while (CaptureRunning) {
    // Every pass counts toward the frame limit, failed reads included.
    if (Frames2Capture > 0) {
      if (remaining == 0) break;
      --remaining;
    }
    DWORD bytes = 0;
    if (GetFrame(device.get(), FrameBuffer, FrameBufferSize, &bytes)) {
      ++count;
      SetPanel(PanelStatus, FormatText("%d", count));
      // A frame the pipeline refuses (too short for the region) drew nothing:
      // Image24 still holds an older picture, which is not stored again.
      if (RenderFrame(QDV_STREAM_RAW8, FrameBuffer, bytes, sizeX, sizeY, mode)) {
        if (mode == DEBAYER_MONO) DebayerMono_8to24_GBRG(FrameBuffer, sizeX, sizeY, Image24);
        if (!AVINextFrameFits()) {
          sizeLimitReached = true;
          break;
        }
        // A frame that cannot be written ends the capture: the next ones
        // would fail the same way, and the file is completed with the
        // frames before it.
        if (!AVIAddFrame(Image24)) {
          writeFailed = true;
          break;
        }
      }
    }
    QCoreApplication::processEvents();
  }

  // Closed before anything is told: while a message waits, the file is
  // complete and any program can read it.
  writeFailed = !AVIClose() || writeFailed;
  if (SettingsView != nullptr) SettingsView->SetDialogEnabled(true);
  ResumeThreads();
  CaptureRunning = false;
  if (writeFailed)
    ShowCaptureWriteError(name, AVIFramesKept());
  else if (sizeLimitReached)
    ShowCaptureError(QStringLiteral("AVI file size limit reached, capture stopped: ") + name);
}
