// The viewer's playback thread: reads one frame record after another into
// the main form's buffers and has the GUI thread paint each one, waiting
// until it is painted. No pacing: every record is read and painted.
//
// The paint is handed over through a small channel of the thread's own
// rather than a general hand-over, so that the GUI thread can serve it from
// inside StopAndWait: a stop waits for the step in progress (the read and its
// paint) without processing any other message and without deadlocking on the
// paint the thread waits for.
#ifndef VIEWER_PLAYBACK_H
#define VIEWER_PLAYBACK_H

#include <condition_variable>
#include <memory>
#include <mutex>

#include "common/GuiSync.h"

class TAppForm;

class VideoThread : public TThread {
 public:
  // Created running, at normal priority.
  explicit VideoThread(TAppForm& form);
  ~VideoThread() override;

  // GUI thread: asks the thread to end, paints the frame it waits for (if
  // any) and returns once the thread has ended.
  void StopAndWait();
  // Whether the thread has left its loop (it then touches nothing more).
  bool Ended() const;
  // Whether it ended because the header could no longer be read at a rewind.
  bool HeaderLost() const;
  // Whether it ended at a record that could not be read or does not fit the
  // header (not the end of the file).
  bool BadRecord() const;

 protected:
  void Execute() override;

 private:
  struct TPaintChannel {
    std::mutex mutex;
    std::condition_variable changed;
    bool paintRequested = false;
    bool ended = false;
    bool headerLost = false;
    bool badRecord = false;
  };
  // GUI thread: paints the requested frame, if one is still requested.
  static void ServePaint(TPaintChannel& channel, TAppForm& form);

  bool PlayNextFrame();
  void RepaintForm();

  TAppForm& form_;
  // Shared with the hand-overs queued to the GUI thread, which may run after
  // the thread is gone.
  std::shared_ptr<TPaintChannel> channel_;
};

#endif
