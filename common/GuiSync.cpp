#include "GuiSync.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <memory>
#include <set>
#include <vector>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// One call handed to the GUI thread. Pending until the GUI thread takes it
// up; Abandoned when the waiting thread gave up (shut-down) before that, in
// which case the GUI thread must not touch the call any more.
struct Handover {
  enum State { Pending, Running, Done, Abandoned };
  State state = Pending;
  const std::function<void()>* call = nullptr;
};

// One lock and one condition for all hand-overs: they are rare (one per live
// frame at most) and cancellation has to reach every waiter.
std::mutex handoverMutex;
std::condition_variable handoverDone;
bool handoversCancelled = false;

std::mutex threadListMutex;
std::set<TThread*> threadList;

bool InGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

bool SynchronizeWithGui(const std::function<void()>& call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  {
    std::lock_guard<std::mutex> lock(handoverMutex);
    if (handoversCancelled) return false;
  }
  if (InGuiThread()) {
    call();
    return true;
  }
  auto handover = std::make_shared<Handover>();
  handover->call = &call;
  // Posted under the lock that the GUI thread takes before it reads the
  // call: Qt's event queue orders the two threads with locks of its own,
  // which the thread sanitizer cannot see.
  std::unique_lock<std::mutex> lock(handoverMutex);
  QMetaObject::invokeMethod(
      app,
      [handover] {
        std::unique_lock<std::mutex> lock(handoverMutex);
        if (handover->state != Handover::Pending) return;
        if (handoversCancelled) {
          handover->state = Handover::Abandoned;
          return;
        }
        handover->state = Handover::Running;
        lock.unlock();
        (*handover->call)();
        lock.lock();
        handover->state = Handover::Done;
        handoverDone.notify_all();
      },
      Qt::QueuedConnection);
  handoverDone.wait(lock, [&] {
    return handover->state == Handover::Done ||
           (handoversCancelled && handover->state == Handover::Pending);
  });
  if (handover->state == Handover::Done) return true;
  handover->state = Handover::Abandoned;
  return false;
}

void CancelGuiSynchronization() {
  std::lock_guard<std::mutex> lock(handoverMutex);
  handoversCancelled = true;
  handoverDone.notify_all();
}

void RestoreGuiSynchronization() {
  std::lock_guard<std::mutex> lock(handoverMutex);
  handoversCancelled = false;
}

bool GuiSynchronizationCancelled() {
  std::lock_guard<std::mutex> lock(handoverMutex);
  return handoversCancelled;
}

// ---------------------------------------------------------------------------

TThread::TThread(bool createSuspended) : pauseCount_(createSuspended ? 1 : 0) {
  std::lock_guard<std::mutex> lock(threadListMutex);
  threadList.insert(this);
}

TThread::~TThread() {
  {
    std::lock_guard<std::mutex> lock(threadListMutex);
    threadList.erase(this);
  }
  if (thread_.joinable()) {
    Terminate();
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void TThread::Start() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  nativeId_.store(static_cast<int>(::syscall(SYS_gettid)));
  ApplyPriority();
  Execute();
  finished_.store(true);
}

void TThread::Suspend() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++pauseCount_;
}

void TThread::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pauseCount_ > 0) --pauseCount_;
  if (pauseCount_ == 0) wake_.notify_all();
}

int TThread::PauseCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauseCount_;
}

void TThread::Terminate() {
  std::lock_guard<std::mutex> lock(mutex_);
  terminated_.store(true);
  wake_.notify_all();
}

void TThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TThread::WaitWhilePaused() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return pauseCount_ == 0 || terminated_.load(); });
  return !terminated_.load();
}

bool TThread::Synchronize(const std::function<void()>& call) {
  if (!WaitWhilePaused()) return false;
  return SynchronizeWithGui(call);
}

void TThread::SetPriority(TThreadPriority priority) {
  priority_.store(priority);
  ApplyPriority();
}

void TThread::ApplyPriority() {
  // Thread priorities map onto the nice value of the thread. Raising a
  // priority above normal needs privileges the program usually lacks; the
  // thread then simply runs at normal priority.
  const int id = nativeId_.load();
  if (id == 0) return;
  int nice = 0;
  switch (priority_.load()) {
    case TThreadPriority::Idle: nice = 19; break;
    case TThreadPriority::Lowest: nice = 10; break;
    case TThreadPriority::Lower: nice = 5; break;
    case TThreadPriority::Normal: nice = 0; break;
    case TThreadPriority::Higher: nice = -5; break;
    case TThreadPriority::Highest: nice = -10; break;
    case TThreadPriority::TimeCritical: nice = -20; break;
  }
  if (::setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice) != 0 && nice < 0) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(id), 0);
  }
}

void TThread::ShutDownAll() {
  std::vector<TThread*> threads;
  {
    std::lock_guard<std::mutex> lock(threadListMutex);
    threads.assign(threadList.begin(), threadList.end());
  }
  for (TThread* thread : threads) thread->Terminate();
  CancelGuiSynchronization();
  for (TThread* thread : threads) thread->WaitFor();
}
