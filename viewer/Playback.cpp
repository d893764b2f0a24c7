#include "viewer/Playback.h"

VideoThread::VideoThread(QObject* receiver, TSteps steps)
    : TThread(false),
      receiver_(receiver),
      steps_(std::make_shared<const TSteps>(std::move(steps))),
      channel_(std::make_shared<TPaintChannel>()) {
  Start();
}

VideoThread::~VideoThread() { StopAndWait(); }

void VideoThread::Execute() {
  while (!Terminated()) {
    if (!PlayNextFrame()) break;
  }
  {
    const std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->ended = true;
  }
  channel_->changed.notify_all();
  // Ended by itself: the GUI thread forgets the thread. A thread asked to
  // end is forgotten by the one who asked.
  if (!Terminated()) PostToGui(receiver_, [steps = steps_] { steps->ended(); });
}

bool VideoThread::PlayNextFrame() {
  switch (steps_->read()) {
    case TPlaybackRead::Frame: RequestPaint(); return true;
    case TPlaybackRead::HeaderLost: {
      const std::lock_guard<std::mutex> lock(channel_->mutex);
      channel_->headerLost = true;
      return false;
    }
    case TPlaybackRead::BadRecord: {
      const std::lock_guard<std::mutex> lock(channel_->mutex);
      channel_->badRecord = true;
      return false;
    }
    case TPlaybackRead::End: break;
  }
  return false;
}

void VideoThread::RequestPaint() {
  {
    const std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->paintRequested = true;
  }
  channel_->changed.notify_all();
  PostToGui(receiver_,
            [channel = channel_, steps = steps_] { ServePaint(*channel, steps->paint); });
  std::unique_lock<std::mutex> lock(channel_->mutex);
  channel_->changed.wait(lock, [this] { return !channel_->paintRequested; });
}

void VideoThread::ServePaint(TPaintChannel& channel, const std::function<void()>& paint) {
  {
    const std::lock_guard<std::mutex> lock(channel.mutex);
    if (!channel.paintRequested) return;  // served already (by a stop)
  }
  paint();
  {
    const std::lock_guard<std::mutex> lock(channel.mutex);
    channel.paintRequested = false;
  }
  channel.changed.notify_all();
}

void VideoThread::StopAndWait() {
  Terminate();
  std::unique_lock<std::mutex> lock(channel_->mutex);
  for (;;) {
    channel_->changed.wait(lock, [this] { return channel_->paintRequested || channel_->ended; });
    if (!channel_->paintRequested) break;
    lock.unlock();
    ServePaint(*channel_, steps_->paint);
    lock.lock();
  }
  lock.unlock();
  WaitFor();
}

bool VideoThread::Ended() const {
  const std::lock_guard<std::mutex> lock(channel_->mutex);
  return channel_->ended;
}

bool VideoThread::HeaderLost() const {
  const std::lock_guard<std::mutex> lock(channel_->mutex);
  return channel_->headerLost;
}

bool VideoThread::BadRecord() const {
  const std::lock_guard<std::mutex> lock(channel_->mutex);
  return channel_->badRecord;
}
