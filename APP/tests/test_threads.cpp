// Worker threads: pause counts, the hand-over of steps to the GUI thread,
// termination and the shut-down that releases waiting threads; and the
// number formatting that every status text goes through.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <thread>

#include "APP/tests/AppTestSupport.h"
#include "common/Format.h"
#include "common/GuiSync.h"

namespace {

using namespace std::chrono_literals;

// A thread that hands one counting step after another to the GUI thread.
class CountingThread : public TThread {
 public:
  explicit CountingThread(bool createSuspended) : TThread(createSuspended) {}
  std::atomic<int> steps{0};
  std::atomic<int> stepsInGuiThread{0};
  std::atomic<int> refused{0};

 protected:
  void Execute() override {
    while (!Terminated()) {
      const bool ran = Synchronize([this] {
        ++steps;
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
          ++stepsInGuiThread;
        }
      });
      if (!ran) ++refused;
    }
  }
};

// Serves GUI-thread steps for a while.
void ServeFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(1ms);
  }
}

class ThreadTest : public ::testing::Test {
 protected:
  ThreadTest() { TestApplication(); }
  ~ThreadTest() override { RestoreGuiSynchronization(); }
};

TEST_F(ThreadTest, PauseCountsNestAndNeverGoBelowZero) {
  CountingThread thread(true);
  EXPECT_EQ(thread.PauseCount(), 1);
  thread.Start();
  ServeFor(50ms);
  EXPECT_EQ(thread.steps.load(), 0);  // created suspended: no step

  thread.Suspend();
  EXPECT_EQ(thread.PauseCount(), 2);
  thread.Resume();
  EXPECT_EQ(thread.PauseCount(), 1);
  ServeFor(50ms);
  EXPECT_EQ(thread.steps.load(), 0);  // still paused once

  thread.Resume();
  thread.Resume();  // not below zero
  EXPECT_EQ(thread.PauseCount(), 0);
  ServeFor(100ms);
  EXPECT_GT(thread.steps.load(), 0);
  EXPECT_EQ(thread.steps.load(), thread.stepsInGuiThread.load());

  thread.Suspend();
  EXPECT_EQ(thread.PauseCount(), 1);
  ServeFor(50ms);  // a step already handed over may still run
  const int steps = thread.steps.load();
  ServeFor(100ms);
  EXPECT_EQ(thread.steps.load(), steps);

  // Terminate wakes the paused thread; it ends without another step.
  thread.Terminate();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.steps.load(), steps);
}

TEST_F(ThreadTest, SynchronizeFromTheGuiThreadRunsAtOnce) {
  int calls = 0;
  EXPECT_TRUE(SynchronizeWithGui([&] { ++calls; }));
  EXPECT_EQ(calls, 1);
  CancelGuiSynchronization();
  EXPECT_TRUE(GuiSynchronizationCancelled());
  EXPECT_FALSE(SynchronizeWithGui([&] { ++calls; }));
  EXPECT_EQ(calls, 1);
}

TEST_F(ThreadTest, ShutDownReleasesThreadsWaitingForTheGuiThread) {
  // Running threads blocked in their hand-over while the GUI thread serves
  // nothing, and a paused one: the shut-down ends all of them at once.
  auto first = std::make_unique<CountingThread>(false);
  auto second = std::make_unique<CountingThread>(false);
  auto paused = std::make_unique<CountingThread>(true);
  first->Start();
  second->Start();
  paused->Start();
  std::this_thread::sleep_for(50ms);

  const auto start = std::chrono::steady_clock::now();
  TThread::ShutDownAll();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, 1s);
  EXPECT_TRUE(first->Finished());
  EXPECT_TRUE(second->Finished());
  EXPECT_TRUE(paused->Finished());
  EXPECT_EQ(first->steps.load(), 0);
  EXPECT_GE(first->refused.load(), 1);

  // The abandoned steps never run, even when the GUI thread gets to them.
  RestoreGuiSynchronization();
  ServeFor(50ms);
  EXPECT_EQ(first->steps.load(), 0);
  EXPECT_EQ(second->steps.load(), 0);
}

TEST_F(ThreadTest, DestroyingARunningThreadEndsIt) {
  auto thread = std::make_unique<CountingThread>(false);
  thread->Start();
  ServeFor(20ms);
  // The thread waits in a hand-over that is served while it is destroyed.
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    thread.reset();
    destroyed = true;
  });
  const auto end = std::chrono::steady_clock::now() + 2s;
  while (!destroyed && std::chrono::steady_clock::now() < end) ServeFor(5ms);
  destroyer.join();
  EXPECT_TRUE(destroyed);
}

TEST(Format, PointIsTheDecimalSeparatorWhateverTheLocale) {
  // A locale with a decimal comma, generated when the system has none.
  const char* locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (locale == nullptr) {
    const std::string folder = ::testing::TempDir() + "app_locales";
    const std::string command =
        "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
      ::setenv("LOCPATH", folder.c_str(), 1);
      locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
  }
  if (locale == nullptr) GTEST_SKIP() << "no locale with a decimal comma";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", 1.5);
  EXPECT_STREQ(buffer, "1,50");  // what plain printf would show

  EXPECT_EQ(FormatFloat("%.2f fps", 25.0), "25.00 fps");
  EXPECT_EQ(FormatFloat("Speed: %.2f MB/s", 90.5404), "Speed: 90.54 MB/s");
  EXPECT_EQ(FormatFloat("Packet lost: %.2f%%", 12.345), "Packet lost: 12.35%");
  EXPECT_EQ(FormatText("%d(%d) ...", 12, 3), "12(3) ...");
  EXPECT_EQ(FormatFloat("%.3f", -0.5), "-0.500");
  std::setlocale(LC_NUMERIC, "C");
}

TEST(Format, LongTexts) {
  const QString text = FormatText("%0200d|%.1f", 7, 2.25);
  EXPECT_EQ(text.size(), 204);
  EXPECT_TRUE(text.endsWith("7|2.2"));
}

}  // namespace
