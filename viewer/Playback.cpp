#include "viewer/Playback.h"

#include "viewer/MainForm.h"

VideoThread::VideoThread(TAppForm& form)
    : TThread(false), form_(form), channel_(std::make_shared<TPaintChannel>()) {
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
  if (!Terminated()) {
    TAppForm* form = &form_;
    PostToGui(form, [form] { form->PlaybackEnded(); });
  }
}

bool VideoThread::PlayNextFrame() {
  switch (form_.ReadForPlayback()) {
    case TAppForm::TPlaybackRead::Frame: RepaintForm(); return true;
    case TAppForm::TPlaybackRead::HeaderLost: {
      const std::lock_guard<std::mutex> lock(channel_->mutex);
      channel_->headerLost = true;
      return false;
    }
    case TAppForm::TPlaybackRead::BadRecord: {
      const std::lock_guard<std::mutex> lock(channel_->mutex);
      channel_->badRecord = true;
      return false;
    }
    case TAppForm::TPlaybackRead::End: break;
  }
  return false;
}

void VideoThread::RepaintForm() {
  {
    const std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->paintRequested = true;
  }
  channel_->changed.notify_all();
  TAppForm* form = &form_;
  PostToGui(form, [channel = channel_, form] { ServePaint(*channel, *form); });
  std::unique_lock<std::mutex> lock(channel_->mutex);
  channel_->changed.wait(lock, [this] { return !channel_->paintRequested; });
}

void VideoThread::ServePaint(TPaintChannel& channel, TAppForm& form) {
  {
    const std::lock_guard<std::mutex> lock(channel.mutex);
    if (!channel.paintRequested) return;  // served already (by a stop)
  }
  form.RepaintForm();
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
    ServePaint(*channel_, form_);
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

// --- The main form's side ---------------------------------------------------------

TAppForm::TPlaybackRead TAppForm::ReadForPlayback() {
  const std::lock_guard<std::recursive_mutex> lock(frameLock_);
  if (ReadNextFrame()) return TPlaybackRead::Frame;
  // A record that is there but unusable is no end: playback stops at it.
  if (!ReadReachedEnd()) return TPlaybackRead::BadRecord;
  if (!VideoLoop || !File.Seek(0)) return TPlaybackRead::End;
  if (!LoadRAWHeader()) return TPlaybackRead::HeaderLost;
  // A file without a complete record ends playback instead of looping.
  if (ReadNextFrame()) return TPlaybackRead::Frame;
  return ReadReachedEnd() ? TPlaybackRead::End : TPlaybackRead::BadRecord;
}

void TAppForm::ForgetPlayer() {
  if (!Player) return;
  Player->StopAndWait();
  const bool headerLost = Player->HeaderLost();
  const bool badRecord = Player->BadRecord();
  Player.reset();
  if (headerLost) {
    // What a failed header read does, done in the GUI thread for the thread.
    File.Close();
    ShowFileChange();
  }
  // The file stays open at the record, as after Next Frame.
  if (headerLost || badRecord) ShowErrorBox(QStringLiteral("Error read file:") + FileName);
}

void TAppForm::StartPlayback() {
  if (converting_) return;
  if (!FileGivesFrames()) return;
  StopPlayback();
  Player = std::make_unique<VideoThread>(*this);
}

void TAppForm::StopPlayback() {
  // The box of a lost header lets commands run; one of them may have started
  // playback again.
  while (Player) ForgetPlayer();
}

bool TAppForm::PlaybackRunning() {
  if (Player && Player->Ended()) ForgetPlayer();
  return Player != nullptr;
}

void TAppForm::PlaybackEnded() {
  if (Player && Player->Ended()) ForgetPlayer();
}
