// The steps the RAW and AVI captures share: one capture at a time, live
// video paused while one runs, and the loop that reads frames until Esc,
// "Stop Video" or the frame limit ends it.
#ifndef APP_CAPTURESTEPS_H
#define APP_CAPTURESTEPS_H

#include <QEventLoop>
#include <QString>

#include <cstdint>
#include <functional>

#include "QDV47B5API.h"
#include "platform/handle.h"

class TAppCommand;

// The first steps of a capture: the device opened for it, its region of
// interest and its stream status. A failure is reported ("Camera open fail."
// or "Cannot get viewport setting.") and false returned.
bool ReadCaptureStream(const platform::UniqueHandle& device, ViewPortRecord& viewPort,
                       DWORD& streamStatus);

// The one capture slot, held for the object's life when it could be taken: a
// capture started while another runs (also while the other still shows a
// message before or after its loop) would share the frame buffer, the status
// counters and the live-video pause with it.
class TCaptureClaim {
 public:
  explicit TCaptureClaim(const TAppCommand& app);
  ~TCaptureClaim();
  TCaptureClaim(const TCaptureClaim&) = delete;
  TCaptureClaim& operator=(const TCaptureClaim&) = delete;

  explicit operator bool() const { return held_; }

 private:
  bool held_;
};

// For the object's life: CaptureRunning set (Esc and "Stop Video" clear it),
// live video paused and the settings dialog disabled.
class TCapturePause {
 public:
  explicit TCapturePause(TAppCommand& app);
  ~TCapturePause();
  TCapturePause(const TCapturePause&) = delete;
  TCapturePause& operator=(const TCapturePause&) = delete;

 private:
  TAppCommand& app_;
};

// Counts the passes of a capture loop against Frames2Capture: above 0 it is
// the number of passes, failed frame reads included; otherwise no limit.
class TFrameLimit {
 public:
  explicit TFrameLimit(std::int32_t frames) : limited_(frames > 0), remaining_(frames) {}
  // Counts one more pass; false when the limit has been reached.
  bool NextPass() {
    if (!limited_) return true;
    if (remaining_ == 0) return false;
    --remaining_;
    return true;
  }

 private:
  bool limited_;
  std::int32_t remaining_;
};

// Serves the GUI's events (those flags allows) until done() is true, which
// is asked every millisecond.
void ServeEventsUntil(const std::function<bool()>& done,
                      QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Runs work on a thread of its own while the GUI thread serves its events,
// and returns when work has ended: a long step (writing what is pending,
// closing a file, freeing a large pool) never holds the window up.
void RunServingEvents(const std::function<void()>& work);

// A status-bar panel of the main window, when there is one.
void SetCapturePanel(TAppCommand& app, int index, const QString& text);

// Shows "ESC - STOP", then runs `pass` (one frame read and what follows it)
// while CaptureRunning is set and the frame limit allows, letting the GUI
// process its messages after each pass. A pass returning false ends the loop
// at once.
void RunCaptureLoop(TAppCommand& app, const std::function<bool()>& pass);

#endif
