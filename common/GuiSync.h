// Worker threads and their hand-over of work to the GUI thread.
//
// TThread is the program's thread class: a std::thread with a pause count, a
// termination request and Synchronize, which runs a call in the GUI thread and
// waits until it has run. The pause count works like the system's thread
// suspension: a thread runs while its count is zero, Suspend adds one, Resume
// takes one away and never goes below zero. The count is checked before each
// step (every Synchronize checks it first; Execute loops may call
// WaitWhilePaused themselves).
//
// Shut-down: the GUI thread leaves its message loop while worker threads may
// still wait in Synchronize for a call that will never be served. The program
// then calls TThread::ShutDownAll, which asks every thread to end, cancels
// every call still waiting (the waiting threads return without the call having
// run), and joins the threads, so the process never exits with a running
// thread and never deadlocks on a waiting one.
//
// The program can also end through exit() called from inside the GUI thread
// while the message loop runs: the GUI library does so when the connection to
// the display breaks. The stack then never unwinds, so nothing above runs.
// InstallExitHook registers a process-exit handler that does it instead: it
// ends every thread, releases every hand-over (also one whose call the GUI
// thread was running when exit() was called, since that call never returns),
// waits a bounded time for the threads, then runs the TExitAction registered
// at that moment (a running capture completes its file). The objects that
// threads wait on are never destroyed, so no static destructor can block on a
// thread still waiting.
#ifndef COMMON_GUISYNC_H
#define COMMON_GUISYNC_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class QObject;

enum class TThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// Queues `call` to run in the thread of `receiver` (the GUI thread for the
// application object and every form) and returns at once; the call is
// dropped when the receiver is destroyed first. What the posting thread
// wrote before is seen by the call.
void PostToGui(QObject* receiver, std::function<void()> call);

// Runs `call` in the GUI thread (the thread of the application object) and
// waits until it has run; called from the GUI thread itself it runs the call
// at once. Returns false, without the call having run, when the hand-over was
// cancelled (shut-down) or no application object exists.
bool SynchronizeWithGui(const std::function<void()>& call);

// Cancels every hand-over still waiting and every later one (shut-down).
void CancelGuiSynchronization();
// Allows hand-overs again (tests that run several shut-downs in one process).
void RestoreGuiSynchronization();
bool GuiSynchronizationCancelled();

// Registers, once, the process-exit handler described above. Called by the
// GUI thread, which is the thread whose exit() runs the exit actions, once
// the program's static objects exist (the handler runs before their
// destructors).
void InstallExitHook();

// While it exists, `action` runs if the process ends through exit() in the
// GUI thread. The actions run newest first, after the worker threads have
// ended. Created and destroyed in the GUI thread.
class TExitAction {
 public:
  explicit TExitAction(std::function<void()> action);
  ~TExitAction();
  TExitAction(const TExitAction&) = delete;
  TExitAction& operator=(const TExitAction&) = delete;

 private:
  std::uint64_t id_;
};

class TThread {
 public:
  // A thread created suspended starts with a pause count of one. The thread
  // itself begins when Start is called (after the derived object exists).
  explicit TThread(bool createSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();

  void Suspend();
  void Resume();
  int PauseCount() const;
  bool Suspended() const { return PauseCount() > 0; }

  // Asks the thread to end: sets the termination flag and wakes a paused
  // thread so that it can see it. Nothing waits.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }

  // Waits until the thread has ended (Execute has returned). Must not be
  // called from the thread itself.
  void WaitFor();
  // Waits at most `milliseconds` for Execute to return; true when it has.
  bool WaitForEnd(int milliseconds);
  bool Finished() const { return finished_.load(); }

  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return priority_.load(); }

  // Shut-down of the program: Terminate every thread, cancel the GUI
  // hand-overs, wait for every thread to end.
  static void ShutDownAll();

 protected:
  virtual void Execute() = 0;

  // Blocks while the pause count is above zero; returns false when the thread
  // was asked to end.
  bool WaitWhilePaused();

  // One step in the GUI thread: waits while paused, then hands `call` over
  // and waits for it. False when the thread is ending or the hand-over was
  // cancelled (the call has then not run).
  bool Synchronize(const std::function<void()>& call);

 private:
  void Run();
  void ApplyPriority();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  int pauseCount_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
  std::atomic<TThreadPriority> priority_{TThreadPriority::Normal};
  std::atomic<int> nativeId_{0};
  std::thread thread_;
};

#endif
