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
#include <map>
#include <string>

#include "APP/Commands.h"
#include "APP/Program.h"
#include "APP/fmMain.h"
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
    if (!AppCommand->CaptureRunning || seen++ < passes) return;
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
  RunProgram(1, argv, [stopWithEsc] {
    QTimer::singleShot(0, [stopWithEsc] {
      // A pool that holds every frame of the short captures below.
      AppCommand->SetBufferPool(12, 5);
      MainForm->mStartVideo->trigger();
      PressEscDuringCapture(MainForm, stopWithEsc ? 0 : RunawayPasses);
      MainForm->mSaveRAWVideo->trigger();  // returns when the capture has ended
      MainForm->close();
    });
  });
  run.frameLimit = AppCommand->Frames2Capture;
  ReadCamera(run);
  const QStringList captures = QDir().entryList({"*.RAW"});
  EXPECT_EQ(captures.size(), 1);
  if (!captures.isEmpty()) run.capture = ReadRecording(captures.first());
  run.preset = ReadEntries(QStringLiteral("qdv47b5.pre"));
  EndProcess();
  return run;
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

  // The frame-rate step of the load picks the line timing of the frame-rate
  // search, which may differ from the power-on timing (here 3,840 clocks a
  // line at power-on, 3,200 for the same 30 fps period after the search):
  // the exposure keeps its rows, and its time follows the line length. From
  // the first load on the timing stays, so every later run keeps the time.
  const struct {
    const char* what;
    const RunResult& before;
    const RunResult& after;
    bool sameTime;
  } restarts[] = {{"from power-on", first, second, false}, {"from a load", second, third, true}};
  for (const auto& r : restarts) {
    SCOPED_TRACE(r.what);
    const RunResult& a = r.before;
    const RunResult& b = r.after;
    EXPECT_EQ(b.stream, a.stream);
    EXPECT_EQ(b.capture.stream, a.capture.stream);
    EXPECT_EQ(b.clock, a.clock);
    EXPECT_EQ(b.capture.frequency, a.capture.frequency);
    EXPECT_EQ(b.exposureRows, a.exposureRows);
    if (r.sameTime) {
      EXPECT_EQ(b.exposureMs, a.exposureMs);
      EXPECT_EQ(b.capture.exposureMs, a.capture.exposureMs);
    }
    EXPECT_EQ(b.fps, a.fps);
    EXPECT_EQ(b.capture.fps, a.capture.fps);
    EXPECT_EQ(b.gainDb, a.gainDb);
    EXPECT_EQ(b.capture.gainDb, a.capture.gainDb);
    EXPECT_EQ(std::memcmp(&b.region, &a.region, sizeof a.region), 0);
    EXPECT_EQ(b.frameLimit, a.frameLimit);
    EXPECT_GE(b.capture.records, 1);
    EXPECT_TRUE(b.messages.isEmpty()) << b.messages.join('|').toStdString();
    // Every entry of the file describes the same camera; only the exposure
    // range and time follow the line timing.
    Entries expected = a.preset;
    Entries actual = b.preset;
    if (!r.sameTime) {
      for (const char* timing : {"ExpMax", "ExpMs"}) expected.erase(timing), actual.erase(timing);
    }
    EXPECT_EQ(actual, expected);
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
