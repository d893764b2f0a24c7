// The hand-over of calls to the GUI thread, its cancellation at shut-down,
// and the end of the process through exit() in the GUI thread: worker
// threads end first, then the exit actions registered at that moment run,
// newest first.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "common/GuiSync.h"
#include "common/tests/QtTestEnvironment.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QCoreApplication>("common_tests"));

bool InGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Serves posted calls until `done` holds (at most 5 s).
void ServeUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < end)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(GuiSync, AHandedOverCallRunsInTheGuiThreadBeforeTheWorkerGoesOn) {
  int written = 0;  // plain data: the hand-over orders the accesses
  bool ranInGuiThread = false;
  std::atomic<bool> returned{false}, result{false};
  std::thread worker([&] {
    written = 1;
    result = SynchronizeWithGui([&] {
      ranInGuiThread = InGuiThread();
      written = written * 10 + 2;
    });
    written = written * 10 + 3;
    returned = true;
  });
  ServeUntil([&] { return returned.load(); });
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_TRUE(ranInGuiThread);
  EXPECT_EQ(written, 123);
}

TEST(GuiSync, CancelledHandOversReturnWithoutTheCall) {
  std::atomic<int> calls{0};
  std::atomic<bool> result{true};
  std::thread worker([&] { result = SynchronizeWithGui([&] { ++calls; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the worker waits meanwhile
  CancelGuiSynchronization();
  worker.join();
  QCoreApplication::processEvents();  // the posted call finds its waiter gone
  EXPECT_FALSE(result);
  EXPECT_TRUE(GuiSynchronizationCancelled());
  EXPECT_FALSE(SynchronizeWithGui([&] { ++calls; }));  // nor any later one, in any thread
  RestoreGuiSynchronization();
  EXPECT_TRUE(SynchronizeWithGui([&] { ++calls; }));
  EXPECT_EQ(calls, 1);
}

TEST(GuiSync, APostedCallIsDroppedWithItsReceiver) {
  int calls = 0;
  auto* receiver = new QObject;
  PostToGui(receiver, [&] { ++calls; });
  PostToGui(QCoreApplication::instance(), [&] { calls += 10; });
  delete receiver;
  QCoreApplication::processEvents();
  EXPECT_EQ(calls, 10);
}

// Hands the call over again and again; says on the error output when it has
// ended.
class StepThread : public TThread {
 public:
  explicit StepThread(std::function<void()> step) : TThread(false), step_(std::move(step)) {}

 protected:
  void Execute() override {
    while (!Terminated()) Synchronize(step_);
    std::fputs("worker ended\n", stderr);
  }

 private:
  std::function<void()> step_;
};

// exit() from inside a call the GUI thread runs for a waiting worker: the
// worker is let go and ends, then the actions run newest first; an action
// already destroyed does not.
TEST(GuiSyncDeathTest, ExitInTheGuiThreadEndsThreadsThenRunsTheActionsNewestFirst) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        InstallExitHook();
        TExitAction first([] { std::fputs("first\n", stderr); });
        {
          TExitAction dropped([] { std::fputs("dropped\n", stderr); });
        }
        TExitAction second([] { std::fputs("second\n", stderr); });
        StepThread worker([] { std::exit(3); });
        worker.Start();
        for (;;) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      },
      ::testing::ExitedWithCode(3), "^worker ended\nsecond\nfirst\n$");
}

}  // namespace
