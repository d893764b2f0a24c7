#include "common/GuiSync.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <map>
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

// The hand-overs' shared state. One lock and one condition for all of them:
// they are rare (one per live frame at most) and cancellation has to reach
// every waiter. Made once and never destroyed: a thread may still wait on the
// condition while the process ends, and destroying a condition variable with
// a waiter blocks.
struct HandoverState {
  std::mutex mutex;
  std::condition_variable done;
  bool cancelled = false;
  // Set when the process ends through exit() in the GUI thread: a call the
  // GUI thread was running then never returns, so its waiter is let go too.
  bool releaseRunning = false;
};
HandoverState& Handovers() {
  static auto* const state = new HandoverState;
  return *state;
}

// Every TThread in existence; never destroyed, for the same reason.
struct ThreadList {
  std::mutex mutex;
  std::set<TThread*> threads;
};
ThreadList& Threads() {
  static auto* const list = new ThreadList;
  return *list;
}

std::vector<TThread*> AllThreads() {
  ThreadList& list = Threads();
  std::lock_guard<std::mutex> lock(list.mutex);
  return {list.threads.begin(), list.threads.end()};
}

// The actions to run at exit(), by registration number; never destroyed.
struct ExitActions {
  std::mutex mutex;
  std::uint64_t nextId = 0;
  std::map<std::uint64_t, std::function<void()>> actions;
  std::thread::id guiThread;
};
ExitActions& ExitActionList() {
  static auto* const list = new ExitActions;
  return *list;
}

// How long the exit handler waits for each worker thread to end. A thread
// that has not ended by then no longer matters: nothing it waits on is
// destroyed.
constexpr int ThreadEndAtExitMs = 5000;

bool InGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// Qt's queue of posted calls is guarded by locks that the thread sanitizer
// cannot see (the library is not instrumented for it). Posting under this
// lock and taking it before the call runs makes the hand-over's order
// visible. Never destroyed: a call may be posted while the process ends.
std::mutex& PostLock() {
  static auto* const lock = new std::mutex;
  return *lock;
}

// GUI thread: runs the handed-over call unless its waiter gave up, and
// tells the waiter when it has run.
void ServeHandover(Handover& handover) {
  HandoverState& handovers = Handovers();
  std::unique_lock<std::mutex> lock(handovers.mutex);
  if (handover.state != Handover::Pending) return;
  if (handovers.cancelled) {
    handover.state = Handover::Abandoned;
    return;
  }
  handover.state = Handover::Running;
  lock.unlock();
  (*handover.call)();
  lock.lock();
  handover.state = Handover::Done;
  handovers.done.notify_all();
}

}  // namespace

void PostToGui(QObject* receiver, std::function<void()> call) {
  const std::lock_guard<std::mutex> lock(PostLock());
  QMetaObject::invokeMethod(
      receiver,
      [call = std::move(call)] {
        { const std::lock_guard<std::mutex> order(PostLock()); }
        call();
      },
      Qt::QueuedConnection);
}

bool SynchronizeWithGui(const std::function<void()>& call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  HandoverState& handovers = Handovers();
  {
    std::lock_guard<std::mutex> lock(handovers.mutex);
    if (handovers.cancelled) return false;
  }
  if (InGuiThread()) {
    call();
    return true;
  }
  auto handover = std::make_shared<Handover>();
  handover->call = &call;
  PostToGui(app, [handover] { ServeHandover(*handover); });
  // The call may have run already: the state says so.
  std::unique_lock<std::mutex> lock(handovers.mutex);
  handovers.done.wait(lock, [&] {
    return handover->state == Handover::Done ||
           (handovers.cancelled && handover->state == Handover::Pending) ||
           (handovers.releaseRunning && handover->state == Handover::Running);
  });
  if (handover->state == Handover::Done) return true;
  handover->state = Handover::Abandoned;
  return false;
}

void CancelGuiSynchronization() {
  HandoverState& handovers = Handovers();
  std::lock_guard<std::mutex> lock(handovers.mutex);
  handovers.cancelled = true;
  handovers.done.notify_all();
}

void RestoreGuiSynchronization() {
  HandoverState& handovers = Handovers();
  std::lock_guard<std::mutex> lock(handovers.mutex);
  handovers.cancelled = false;
}

bool GuiSynchronizationCancelled() {
  HandoverState& handovers = Handovers();
  std::lock_guard<std::mutex> lock(handovers.mutex);
  return handovers.cancelled;
}

// ---------------------------------------------------------------------------
// The end of the process through exit().

namespace {

// Every worker thread asked to end and every hand-over released; in the GUI
// thread also the one whose call it was running, which never returns now.
void ReleaseThreadsAtExit(bool inGuiThread) {
  const std::vector<TThread*> threads = AllThreads();
  for (TThread* thread : threads) thread->Terminate();
  {
    HandoverState& handovers = Handovers();
    std::lock_guard<std::mutex> lock(handovers.mutex);
    handovers.cancelled = true;
    handovers.releaseRunning = inGuiThread;
    handovers.done.notify_all();
  }
  for (TThread* thread : threads) thread->WaitForEnd(ThreadEndAtExitMs);
}

// Takes the registered actions out of the list and runs them, newest first.
// Only in the GUI thread: the actions finish work of the GUI thread, which
// another thread's exit() would race with.
void RunExitActions() {
  std::map<std::uint64_t, std::function<void()>> actions;
  {
    ExitActions& list = ExitActionList();
    std::lock_guard<std::mutex> lock(list.mutex);
    actions.swap(list.actions);
  }
  for (auto it = actions.rbegin(); it != actions.rend(); ++it) it->second();
}

extern "C" void EndAtExit() {
  ExitActions& list = ExitActionList();
  bool inGuiThread;
  {
    std::lock_guard<std::mutex> lock(list.mutex);
    inGuiThread = list.guiThread == std::this_thread::get_id();
  }
  ReleaseThreadsAtExit(inGuiThread);
  if (inGuiThread) RunExitActions();
}

}  // namespace

void InstallExitHook() {
  ExitActions& list = ExitActionList();
  {
    std::lock_guard<std::mutex> lock(list.mutex);
    list.guiThread = std::this_thread::get_id();
  }
  static const bool installed = std::atexit(EndAtExit) == 0;
  (void)installed;
}

TExitAction::TExitAction(std::function<void()> action) {
  ExitActions& list = ExitActionList();
  std::lock_guard<std::mutex> lock(list.mutex);
  id_ = list.nextId++;
  list.actions.emplace(id_, std::move(action));
}

TExitAction::~TExitAction() {
  ExitActions& list = ExitActionList();
  std::lock_guard<std::mutex> lock(list.mutex);
  list.actions.erase(id_);
}

// ---------------------------------------------------------------------------

TThread::TThread(bool createSuspended) : pauseCount_(createSuspended ? 1 : 0) {
  ThreadList& list = Threads();
  std::lock_guard<std::mutex> lock(list.mutex);
  list.threads.insert(this);
}

TThread::~TThread() {
  {
    ThreadList& list = Threads();
    std::lock_guard<std::mutex> lock(list.mutex);
    list.threads.erase(this);
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
  std::lock_guard<std::mutex> lock(mutex_);
  finished_.store(true);
  wake_.notify_all();
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

bool TThread::WaitForEnd(int milliseconds) {
  if (!started_.load()) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return finished_.load(); });
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
  const std::vector<TThread*> threads = AllThreads();
  for (TThread* thread : threads) thread->Terminate();
  CancelGuiSynchronization();
  for (TThread* thread : threads) thread->WaitFor();
}
