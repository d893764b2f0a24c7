// Restarts of the whole program on the simulated camera. Each run starts the
// program as a user does, starts live video, records a RAW capture and exits
// without opening the settings dialog; the next run starts from the
// "qdv47b5.pre" the previous one left. What the camera runs after a restart
// must be what it ran before, and a frame limit kept in the file must bound
// the next capture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/tests/raw_records.h"
#include "QDV47B5API.h"
#include "common/GuiSync.h"
#include "common/Messages.h"
#include "common/RAWVideo.h"
#include "simcam/SimCamera.h"

namespace {

// One preset file as name -> value.
using Entries = std::map<std::string, std::string>;

Entries ReadEntries(const QString& fileName) {
  Entries entries;
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return entries;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0)
      entries[line.left(equals).toStdString()] = line.mid(equals + 1).trimmed().toStdString();
  }
  return entries;
}

void WriteText(const QString& fileName, const QByteArray& text) {
  QFile file(fileName);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// The RAW file a run recorded: the camera settings its header holds and the
// number of whole 8-bit frame records, the file ending with the last.
struct Recording {
  std::int32_t stream = -1;
  double frequency = 0, exposureMs = 0, fps = 0, gainDb = 0;
  int records = -1;
};

Recording ReadRecording(const QString& fileName) {
  Recording r;
  RAWVideoHeader header{};
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly) ||
      file.read(reinterpret_cast<char*>(&header), RAWVideoHeaderSize) != RAWVideoHeaderSize)
    return r;
  // Copied field by field: the header is packed.
  r.stream = header.StreamStatus;
  r.frequency = header.Frequency;
  r.exposureMs = header.Exposure;
  r.fps = header.FrameRate;
  r.gainDb = header.Gain;
  const RAWRecords records(fileName, static_cast<std::uint32_t>(header.Width) *
                                         static_cast<std::uint32_t>(header.Height));
  if (records.endsWhole) r.records = records.count;
  return r;
}

// What one run leaves behind: the camera's settings read past the program
// once it has ended, the controller's frame limit, the capture and the
// preset file.
struct RunResult {
  DWORD stream = 0;
  DWORD clock = 0;
  DWORD exposureRows = 0;
  double exposureMs = 0;
  double fps = 0;
  double gainDb = 0;
  ViewPortRecord region{};
  std::int32_t frameLimit = -1;
  Recording capture;
  Entries preset;
  QStringList messages;
  // The sensor register words written before the message loop ran: the
  // start-up's, the preset load's among them.
  std::vector<std::uint16_t> startUpWrites;
};

void ReadCamera(RunResult& run) {
  DeviceHandle h = OpenCamera(0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(GetStreamStatus(h, &run.stream));
  EXPECT_TRUE(GetFrequency(h, &run.clock));
  EXPECT_TRUE(GetExposure(h, &run.exposureRows));
  EXPECT_TRUE(GetExposureMs(h, &run.exposureMs));
  EXPECT_TRUE(GetFrameRate(h, &run.fps));
  EXPECT_TRUE(GetGain(h, &run.gainDb));
  EXPECT_TRUE(GetViewPort(h, &run.region));
  CloseHandle(h);
}

// Presses Esc in the main window once the capture loop has made about
// `passes` passes (the loop serves a zero-interval timer once per pass).
void PressEscDuringCapture(QObject* owner, int passes) {
  auto* poll = new QTimer(owner);
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, [poll, passes, seen = 0]() mutable {
    if (!AppCommand->Captures.CaptureRunning || seen++ < passes) return;
    poll->stop();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(MainForm, &esc);
  });
  poll->start();
}

// Forgets what a finished run's process would have taken with it: the
// controller, the camera object and the worker threads (joined when the run
// ended), so that the next run starts as a new process does.
void EndProcess() {
  delete FrameThread;
  FrameThread = nullptr;
  delete TriggerThread;
  TriggerThread = nullptr;
  delete CameraDevice;
  CameraDevice = nullptr;
  delete AppCommand;
  AppCommand = nullptr;
  RestoreGuiSynchronization();
}

// A capture that should end by its frame limit is stopped after this many
// passes all the same, so that a limit not applied fails the test instead
// of filling the disk.
constexpr int RunawayPasses = 100;

// Starts the program in the current folder with the simulated camera just
// powered on (it lives in the program's process), then F5, F4 and, when
// asked, Esc once the capture runs; then the main window is closed.
RunResult RunProgramOnce(bool stopWithEsc) {
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  camera.SetTiming(simcam::Timing::Deterministic);
  for (const QString& name : QDir().entryList({"*.RAW"})) QFile::remove(name);

  RunResult run;
  const ScopedMessageSink sink(
      [&run](MessageKind, const QString&, const QString& text) { run.messages << text; });
  static char name[] = "QDV47B5";
  static char* argv[] = {name, nullptr};
  RunProgram(1, argv, [stopWithEsc, &run, &camera] {
    run.startUpWrites = camera.SensorRegisterWrites();
    QTimer::singleShot(0, [stopWithEsc] {
      // A pool that holds every frame of the short captures below.
      AppCommand->SetBufferPool(12, 5);
      MainForm->mStartVideo->trigger();
      PressEscDuringCapture(MainForm, stopWithEsc ? 0 : RunawayPasses);
      MainForm->mSaveRAWVideo->trigger();  // returns when the capture has ended
      MainForm->close();
    });
  });
  run.frameLimit = AppCommand->Captures.Frames2Capture;
  ReadCamera(run);
  const QStringList captures = QDir().entryList({"*.RAW"});
  EXPECT_EQ(captures.size(), 1);
  if (!captures.isEmpty()) run.capture = ReadRecording(captures.first());
  run.preset = ReadEntries(QStringLiteral("qdv47b5.pre"));
  EndProcess();
  return run;
}

// The exposure words among sensor register words.
std::vector<std::uint16_t> ExposureWords(const std::vector<std::uint16_t>& words) {
  std::vector<std::uint16_t> exposures;
  for (std::uint16_t word : words)
    if ((word & 0xF800) == 0x8000) exposures.push_back(word);
  return exposures;
}

// Starts the program in the current folder and closes its main window as
// soon as the message loop runs; the number of messages shown.
int StartAndExit() {
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  int messages = 0;
  const ScopedMessageSink sink(
      [&messages](MessageKind, const QString&, const QString&) { ++messages; });
  static char name[] = "QDV47B5";
  static char* argv[] = {name, nullptr};
  RunProgram(1, argv, [] { QTimer::singleShot(0, [] { MainForm->close(); }); });
  EndProcess();
  return messages;
}

// A start-up preset that the program could not read or apply is left as it
// was by the exit, byte for byte and mode for mode. Each kind of file lies in
// a folder of its own that anyone may write to, so that nothing but the
// program's own choice keeps the closing save from replacing it. The program
// runs in a child process; where the test runs as the superuser, which reads
// every file whatever its mode, the child gives up its privileges for those
// of "nobody" first, so that a file of mode 000 is unreadable to it. Defined
// first, so that it forks before any other test has started threads.
TEST(StartUpPreset, AFileTheStartUpCouldNotUseIsLeftAsItWasAtExit) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  ASSERT_EQ(::chmod(QFile::encodeName(root.path()).constData(), 0777), 0);
  const QByteArray preset = "Gain=-1000\r\nWidth=640\r\nHeight=480\r\n";
  const struct {
    const char* kind;
    std::function<bool(const QByteArray& path)> make;
  } cases[] = {
      {"unreadable",
       [&](const QByteArray& p) {
         QFile f(QString::fromLocal8Bit(p));
         return f.open(QIODevice::WriteOnly) && f.write(preset) == preset.size() &&
                ::chmod(p.constData(), 0) == 0;
       }},
      {"oversized",
       [&](const QByteArray& p) {
         QFile f(QString::fromLocal8Bit(p));
         return f.open(QIODevice::WriteOnly) && f.write(preset.repeated(4000)) > 65536;
       }},
      {"broken",
       [&](const QByteArray& p) {
         QFile f(QString::fromLocal8Bit(p));
         return f.open(QIODevice::WriteOnly) && f.write(preset + "OutMode=8 bit\r\n") > 0;
       }},
      {"FIFO", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0640) == 0; }},
      {"directory", [](const QByteArray& p) { return ::mkdir(p.constData(), 0750) == 0; }}};
  struct Before {
    QByteArray folder, path, bytes;
    struct stat node {};
  };
  std::vector<Before> before;
  for (const auto& c : cases) {
    Before b;
    b.folder = QFile::encodeName(root.filePath(QLatin1String(c.kind)));
    b.path = b.folder + "/qdv47b5.pre";
    ASSERT_EQ(::mkdir(b.folder.constData(), 0777), 0);
    ASSERT_EQ(::chmod(b.folder.constData(), 0777), 0);
    ASSERT_TRUE(c.make(b.path)) << c.kind;
    ASSERT_EQ(::lstat(b.path.constData(), &b.node), 0);
    QFile file(QString::fromLocal8Bit(b.path));
    if (S_ISREG(b.node.st_mode) && file.open(QIODevice::ReadOnly)) b.bytes = file.readAll();
    before.push_back(b);
  }

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(60);  // a start-up that hangs fails the test
    constexpr uid_t Nobody = 65534;
    if (::geteuid() == 0 && (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) ::_exit(100);
    int failed = 0;
    for (const Before& b : before) {
      // One error box at start-up, for the file it could not use.
      if (::chdir(b.folder.constData()) != 0 || StartAndExit() != 1) ++failed;
    }
    ::_exit(failed);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  for (std::size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(cases[i].kind);
    struct stat node {};
    ASSERT_EQ(::lstat(before[i].path.constData(), &node), 0);
    EXPECT_EQ(node.st_mode, before[i].node.st_mode);
    EXPECT_EQ(node.st_ino, before[i].node.st_ino);
    QFile file(QString::fromLocal8Bit(before[i].path));
    if (S_ISREG(node.st_mode) && file.open(QIODevice::ReadOnly)) {
      EXPECT_TRUE(file.readAll() == before[i].bytes);
    }
  }
}

class Restart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
  }
  void TearDown() override { simcam::Install().PowerOn(); }

  QTemporaryDir folder_;
};

TEST_F(Restart, ARunWithoutTheDialogGivesTheNextRunTheSameCamera) {
  const RunResult first = RunProgramOnce(true);
  const RunResult second = RunProgramOnce(true);
  const RunResult third = RunProgramOnce(true);

  // The first run streamed and recorded the 8-bit format.
  EXPECT_EQ(first.stream, DWORD{QDV_STREAM_RAW8});
  EXPECT_EQ(first.capture.stream, static_cast<std::int32_t>(QDV_STREAM_RAW8));
  EXPECT_EQ(first.preset.at("outMode"), "0");

  // The power-on timing is the one the load's frame-rate step picks again,
  // so the exposure keeps its rows and its time from the first run on. The
  // start-up sends the camera the preset's exposure only: never another
  // one on the way, such as 0 from the exposure bar's range.
  EXPECT_TRUE(ExposureWords(first.startUpWrites).empty());
  const struct {
    const char* what;
    const RunResult& before;
    const RunResult& after;
  } restarts[] = {{"from power-on", first, second}, {"from a load", second, third}};
  for (const auto& r : restarts) {
    SCOPED_TRACE(r.what);
    const RunResult& a = r.before;
    const RunResult& b = r.after;
    EXPECT_EQ(b.stream, a.stream);
    EXPECT_EQ(b.capture.stream, a.capture.stream);
    EXPECT_EQ(b.clock, a.clock);
    EXPECT_EQ(b.capture.frequency, a.capture.frequency);
    EXPECT_EQ(b.exposureRows, a.exposureRows);
    EXPECT_EQ(b.exposureMs, a.exposureMs);
    EXPECT_EQ(b.capture.exposureMs, a.capture.exposureMs);
    EXPECT_EQ(b.fps, a.fps);
    EXPECT_EQ(b.capture.fps, a.capture.fps);
    EXPECT_EQ(b.gainDb, a.gainDb);
    EXPECT_EQ(b.capture.gainDb, a.capture.gainDb);
    EXPECT_EQ(std::memcmp(&b.region, &a.region, sizeof a.region), 0);
    EXPECT_EQ(b.frameLimit, a.frameLimit);
    EXPECT_GE(b.capture.records, 1);
    EXPECT_TRUE(b.messages.isEmpty()) << b.messages.join('|').toStdString();
    EXPECT_EQ(b.preset, a.preset);
    const std::uint32_t maxRows = std::stoul(a.preset.at("ExpMax"));
    const std::uint32_t rows = std::stoul(a.preset.at("Exposure"));
    const std::vector<std::uint16_t> exposures = ExposureWords(b.startUpWrites);
    EXPECT_FALSE(exposures.empty());
    for (std::uint16_t word : exposures) EXPECT_EQ(word, 0x8000 + maxRows - rows);
  }
  EXPECT_EQ(third.preset.size(), 35u);
}

TEST_F(Restart, AFrameLimitInThePresetBoundsEveryLaterCapture) {
  RunProgramOnce(true);
  // The file of the run with its frame limit set.
  QFile file(QStringLiteral("qdv47b5.pre"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray text = file.readAll();
  file.close();
  text.replace("UseEscKey=1", "UseEscKey=0").replace("Frames2Capture=0", "Frames2Capture=10");
  WriteText(QStringLiteral("qdv47b5.pre"), text);

  for (const char* run : {"loaded from the edited file", "loaded from what that run left"}) {
    SCOPED_TRACE(run);
    const RunResult limited = RunProgramOnce(false);
    EXPECT_EQ(limited.frameLimit, 10);
    EXPECT_EQ(limited.capture.records, 10);
    EXPECT_EQ(limited.preset.at("UseEscKey"), "0");
    EXPECT_EQ(limited.preset.at("Frames2Capture"), "10");
  }
}

}  // namespace
