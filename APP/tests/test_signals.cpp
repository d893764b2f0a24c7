// Termination signals end the camera application the way its exit command
// does: the closing save runs, the copy-data socket is removed, and a RAW
// capture that runs ends with whole records only.
//
// The display going away ends it too: its own virtual X server is killed
// during live video and during a RAW capture. The program must end by itself
// within a bounded time (the GUI library ends it with exit()), and the
// capture's file must hold every record stored before the end, whole.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <thread>
#include <utility>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/tests/raw_records.h"
#include "QDV47B5API.h"
#include "common/RAWVideo.h"
#include "platform/tests/StrictAVIReader.h"
#include "simcam/SimCamera.h"

namespace {

// The program in `folder`, its copy-data socket there too (the temporary
// folder is where the socket lives).
// `variables` are added to the environment.
void StartIn(QProcess& process, const QString& folder, const QString& program,
             const QStringList& arguments = {},
             const std::initializer_list<std::pair<const char*, QString>>& variables = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("TMPDIR", folder);
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("QDV_SIGNAL_CHILD_FOLDER", folder);
  for (const auto& [name, value] : variables) environment.insert(name, value);
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

constexpr int FrameWidth = 320;
constexpr int FrameHeight = 240;

// The program block on a camera that streams 8-bit frames of FrameWidth x
// FrameHeight, with a RAW frame pool of four 1 MiB blocks.
int RunOnStreamingCamera(const std::function<void()>& started) {
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  DeviceHandle handle = OpenCamera(0);
  ViewPortRecord region{};
  region.SizeX = FrameWidth;
  region.SizeY = FrameHeight;
  EXPECT_TRUE(SetViewPort(handle, &region));
  EXPECT_TRUE(SetStreamStatus(handle, QDV_STREAM_RAW8));
  CloseHandle(handle);
  if (AppCommand == nullptr) CommandsUnitInit();
  AppCommand->Captures.PoolBlockCount = 4;
  AppCommand->Captures.PoolBlockSizeMB = 1;
  static char name[] = "QDV47B5";
  static char* argv[] = {name, nullptr};
  return RunProgram(1, argv, started);
}

// The program of the test below: starts a RAW capture of the streaming
// camera and runs until a signal ends it.
TEST(Signals, DISABLED_ChildCapturesUntilSignalled) {
  if (qEnvironmentVariableIsEmpty("QDV_SIGNAL_CHILD_FOLDER")) GTEST_SKIP();
  const int result = RunOnStreamingCamera([] {
    QTimer::singleShot(0, [] {
      AppCommand->Captures.Frames2Capture = 0;
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
  const RAWRecords records(file, FrameWidth * FrameHeight);
  EXPECT_TRUE(records.endsWhole);
  EXPECT_GT(records.count, 3 * 12);
}

// The program of the test below, under the X server of DISPLAY: live video
// on the streaming camera, and a RAW or AVI capture when
// QDV_DISPLAY_LOSS_CAPTURE says so. Writes "live" once frames are drawn, then runs until the
// display goes. During the capture, the counters of the status bar are rewritten into the file
// "counters" on every pass of the capture loop.
TEST(DisplayLoss, DISABLED_ChildRunsUntilTheDisplayGoes) {
  if (qEnvironmentVariableIsEmpty("QDV_DISPLAY_LOSS_CHILD")) GTEST_SKIP();
  RunOnStreamingCamera([] {
    auto* live = new QTimer;
    QObject::connect(live, &QTimer::timeout, [live] {
      if (AppCommand->Render.FrameCount < 10) return;
      live->stop();
      std::puts("live");
      std::fflush(stdout);
      const QString capture = qEnvironmentVariable("QDV_DISPLAY_LOSS_CAPTURE");
      if (capture.isEmpty()) return;
      auto* counters = new QTimer;
      QObject::connect(counters, &QTimer::timeout, [file = std::fopen("counters", "w")] {
        std::rewind(file);
        std::fprintf(file, "%-40s\n", qPrintable(MainForm->Panel(PanelStatus)));
        std::fflush(file);
      });
      counters->start(0);
      if (capture == "AVI")
        AppCommand->SaveVideo();
      else
        AppCommand->SaveRAWVideo();
    });
    live->start(20);
  });
  ADD_FAILURE() << "the message loop ended while the display was there";
}

// A free display number from the X server itself, read from its output.
bool StartXServer(QProcess& server) {
  server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
  const QDeadlineTimer deadline(30000);
  while (!server.canReadLine() && !deadline.hasExpired()) {
    if (!server.waitForReadyRead(100) && server.state() == QProcess::NotRunning) return false;
  }
  return server.canReadLine();
}

// Reads the child's output until the line `line` comes.
bool WaitForLine(QProcess& child, const QByteArray& line) {
  const QDeadlineTimer deadline(60000);
  while (!deadline.hasExpired()) {
    while (child.canReadLine()) {
      if (child.readLine().trimmed() == line) return true;
    }
    if (!child.waitForReadyRead(100) && child.state() == QProcess::NotRunning) return false;
  }
  return false;
}

// What runs when the display goes: live video only, or a capture of a kind.
class DisplayLossTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DisplayLossTest, TheProgramEndsAndACaptureKeepsEveryRecord) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP() << "starting a process through Qt misleads ThreadSanitizer";
#endif
  if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "Xvfb missing";
  const QString capture = QString::fromLatin1(GetParam());
  QProcess server;
  ASSERT_TRUE(StartXServer(server)) << server.readAllStandardError().toStdString();
  const QString display = ":" + QString::fromLatin1(server.readLine()).trimmed();

  QTemporaryDir folder;
  QProcess child;
  StartIn(child, folder.path(), QFileInfo("/proc/self/exe").canonicalFilePath(),
          {"--gtest_filter=DisplayLoss.DISABLED_ChildRunsUntilTheDisplayGoes",
           "--gtest_also_run_disabled_tests"},
          {{"DISPLAY", display},
           {"QT_QPA_PLATFORM", "xcb"},
           {"QDV_DISPLAY_LOSS_CHILD", "1"},
           {"QDV_DISPLAY_LOSS_CAPTURE", capture},
           // The process ends through exit() with everything still allocated.
           {"ASAN_OPTIONS", "detect_leaks=0"}});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(WaitForLine(child, "live")) << "live video did not start";
  // A few pool blocks (or frames) on disk, and more records in the pool.
  const QString file = folder.path() + "/VIDEO_0." + capture;
  if (!capture.isEmpty()) {
    ASSERT_TRUE(
        WaitFor([&] { return QFileInfo(file).size() > RAWVideoHeaderSize + 3 * 1048576; }, 60000));
  }

  ASSERT_EQ(::kill(static_cast<pid_t>(server.processId()), SIGKILL), 0);
  EXPECT_TRUE(child.waitForFinished(20000)) << "the program did not end without its display";
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  server.waitForFinished(10000);
  if (capture.isEmpty()) return;

  // Every record stored before the end reached the file, those of the
  // partly filled block too, and the file ends with the last record.
  QFile countersFile(folder.path() + "/counters");
  ASSERT_TRUE(countersFile.open(QIODevice::ReadOnly));
  int frames = 0;
  int drops = 0;
  if (capture == "AVI") {
    // Completed at exit: indexed, and nothing past what its header counts.
    const StrictAVI avi = ReadStrictAVI(file.toStdString());
    ASSERT_TRUE(avi.Ok()) << avi.error;
    EXPECT_TRUE(avi.indexed);
    EXPECT_EQ(avi.trailingBytes, 0u);
    ASSERT_EQ(std::sscanf(countersFile.readAll().constData(), "%d", &frames), 1);
    EXPECT_GE(avi.frames, static_cast<unsigned>(frames - 1));
    return;
  }
  ASSERT_EQ(std::sscanf(countersFile.readAll().constData(), "%d(%d)", &frames, &drops), 2);
  const RAWRecords records(file, FrameWidth * FrameHeight);
  EXPECT_TRUE(records.endsWhole);
  EXPECT_GT(frames - drops, 3 * 13);
  EXPECT_GE(records.count, frames - drops);
}

INSTANTIATE_TEST_SUITE_P(LiveVideoAndCaptures, DisplayLossTest,
                         ::testing::Values("", "RAW", "AVI"));

}  // namespace
