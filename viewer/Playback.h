// The viewer's playback thread: reads one frame record after another and
// has the GUI thread paint each one, waiting until it is painted. No pacing:
// every record is read and painted.
//
// The thread knows only its three steps, given by its owner (the session):
// the read (in the thread, under the owner's frame lock), the paint (in the
// GUI thread) and the notice that it ended by itself (in the GUI thread).
//
// The paint is handed over through a small channel of the thread's own
// rather than a general hand-over, so that the GUI thread can serve it from
// inside StopAndWait: a stop waits for the step in progress (the read and its
// paint) without processing any other message and without deadlocking on the
// paint the thread waits for.
#ifndef VIEWER_PLAYBACK_H
#define VIEWER_PLAYBACK_H

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "common/GuiSync.h"

class QObject;

// How one read of the playback thread ended: a frame to paint, the end of
// the file (looping off, or no complete record), a header that could no
// longer be read at a rewind, or a record that is there but unusable.
enum class TPlaybackRead { Frame, End, HeaderLost, BadRecord };

class VideoThread : public TThread {
 public:
  struct TSteps {
    std::function<TPlaybackRead()> read;  // playback thread
    std::function<void()> paint;          // GUI thread
    std::function<void()> ended;          // GUI thread, when it ended by itself
  };
  // Created running, at normal priority. Hand-overs go to the thread of
  // `receiver` (the GUI thread) and are dropped once it is destroyed.
  VideoThread(QObject* receiver, TSteps steps);
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
  static void ServePaint(TPaintChannel& channel, const std::function<void()>& paint);

  bool PlayNextFrame();
  void RequestPaint();

  QObject* receiver_;
  // Shared with the hand-overs queued to the GUI thread, which may run after
  // the thread is gone.
  std::shared_ptr<const TSteps> steps_;
  std::shared_ptr<TPaintChannel> channel_;
};

#endif
