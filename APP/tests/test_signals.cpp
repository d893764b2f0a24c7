// Termination signals end the camera application the way its exit command
// does: the closing save runs, the copy-data socket is removed, and a RAW
// capture that runs ends with whole records only.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <thread>

#include "Commands.h"
#include "Program.h"
#include "QDV47B5API.h"
#include "RAWVideo.h"
#include "fmMain.h"
#include "raw_records.h"
#include "simcam/SimCamera.h"

namespace {

// The program in `folder`, its copy-data socket there too (the temporary
// folder is where the socket lives).
void StartIn(QProcess& process, const QString& folder, const QString& program,
             const QStringList& arguments = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("TMPDIR", folder);
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("QDV_SIGNAL_CHILD_FOLDER", folder);
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(folder);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(program, arguments);
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 20000) {
  const QDeadlineTimer deadline(milliseconds);
  while (!condition() && !deadline.hasExpired())
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return condition();
}

// Sends the signal once the program listens, and expects the exit command's
// ending: exit code 0, the preset saved, the socket gone.
void SignalAndExpectOrderlyExit(QProcess& process, const QString& folder, int signal,
                                const std::function<bool()>& ready) {
  ASSERT_TRUE(process.waitForStarted());
  const QString socket = folder + "/" + CopyDataServerName;
  ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(socket) && ready(); }))
      << "the program did not come up";
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signal), 0);
  ASSERT_TRUE(process.waitForFinished(20000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(socket));
  EXPECT_TRUE(QFileInfo::exists(folder + "/qdv47b5.pre"));
}

TEST(Signals, TerminationSignalsCloseTheProgramLikeItsExitCommand) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP() << "starting a process through Qt misleads ThreadSanitizer";
#endif
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    QTemporaryDir folder;
    QProcess program;
    StartIn(program, folder.path(), QStringLiteral(QDV_APP_PATH));
    SignalAndExpectOrderlyExit(program, folder.path(), signal, [] { return true; });
  }
}

// The program of the test below: starts a RAW capture of the streaming
// camera and runs until a signal ends it.
TEST(Signals, DISABLED_ChildCapturesUntilSignalled) {
  const QString folder = qEnvironmentVariable("QDV_SIGNAL_CHILD_FOLDER");
  if (folder.isEmpty()) GTEST_SKIP();
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  {
    DeviceHandle handle = OpenCamera(0);
    ViewPortRecord region{};
    region.SizeX = 320;
    region.SizeY = 240;
    ASSERT_TRUE(SetViewPort(handle, &region));
    ASSERT_TRUE(SetStreamStatus(handle, QDV_STREAM_RAW8));
    CloseHandle(handle);
  }
  if (AppCommand == nullptr) CommandsUnitInit();
  AppCommand->PoolBlockCount = 4;
  AppCommand->PoolBlockSizeMB = 1;
  static char name[] = "QDV47B5";
  static char* argv[] = {name, nullptr};
  const int result = RunProgram(1, argv, [] {
    QTimer::singleShot(0, [] {
      AppCommand->Frames2Capture = 0;
      AppCommand->SaveRAWVideo();
    });
  });
  EXPECT_EQ(result, 0);
}

TEST(Signals, ASignalDuringARAWCaptureEndsItWithWholeRecords) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP() << "starting a process through Qt misleads ThreadSanitizer";
#endif
  QTemporaryDir folder;
  const QString file = folder.path() + "/VIDEO_0.RAW";
  QProcess child;
  StartIn(child, folder.path(), QFileInfo("/proc/self/exe").canonicalFilePath(),
          {"--gtest_filter=Signals.DISABLED_ChildCapturesUntilSignalled",
           "--gtest_also_run_disabled_tests"});
  // Signalled once a few blocks are on disk.
  SignalAndExpectOrderlyExit(child, folder.path(), SIGTERM, [&] {
    return QFileInfo(file).size() > RAWVideoHeaderSize + 3 * 1048576;
  });

  // The pool was flushed: the file is the header and whole records, the
  // last one ending at the end of the file.
  const RAWRecords records(file, 320 * 240);
  EXPECT_TRUE(records.endsWhole);
  EXPECT_GT(records.count, 3 * 12);
}

}  // namespace
