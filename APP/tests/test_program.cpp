// The whole program on the simulated camera: start-up with the camera
// already streaming (live video starts during Init), a few seconds' worth of
// message loop, then closing the main window. The program must leave its
// message loop, release and join its worker threads and return promptly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "QDV47B5API.h"
#include "simcam/SimCamera.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(Program, ClosingTheMainWindowWithVideoRunningEndsPromptly) {
  // Preset files land in the current directory.
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ASSERT_TRUE(QDir::setCurrent(folder.path()));

  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  {
    DeviceHandle handle = OpenCamera(0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetStreamStatus(handle, 1));
    CloseHandle(handle);
  }

  bool wasRunning = false;
  int frameThreadPauses = -1;
  Clock::time_point closed;
  static char name[] = "QDV47B5";
  static char* argv[] = {name, nullptr};
  const int result = RunProgram(1, argv, [&] {
    QTimer::singleShot(1500, [&] {
      wasRunning = AppCommand->Running;
      frameThreadPauses = FrameThread->PauseCount();
      closed = Clock::now();
      MainForm->close();
    });
  });
  const auto shutDown = Clock::now() - closed;

  EXPECT_EQ(result, 0);
  EXPECT_TRUE(wasRunning);
  EXPECT_EQ(frameThreadPauses, 0);
  EXPECT_LT(shutDown, std::chrono::seconds(1));
  ASSERT_NE(FrameThread, nullptr);
  ASSERT_NE(TriggerThread, nullptr);
  EXPECT_TRUE(FrameThread->Finished());
  EXPECT_TRUE(TriggerThread->Finished());
  EXPECT_EQ(AppCommand->Render.ColorCorrectionObject, nullptr);  // Done ran
  camera.PowerOn();
}

}  // namespace
