// Soak run of the camera application (a benchmark, not a test): the whole
// program on the simulated camera at its full 1080p rate, live video with
// colour correction on, and RAW captures of 60 s one after the other for the
// given time (seconds, the first argument; 600 by default).
//
// Every 10 s it prints the resident memory; after each capture the frames
// the camera produced while its loop ran, those stored and those lost
// (dropped by a full pool, or never read), and how long the capture took to
// start; at the end the largest stall of the GUI thread (the longest gap
// between two ticks of a 10 ms timer), overall and inside the capture loops,
// and the totals. Capture
// files go to a temporary folder under $QDV_BENCH_DIR (default /tmp) and
// each is removed once it is counted.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "QDV47B5API.h"
#include "imaging/debayer.h"
#include "platform/handle.h"
#include "simcam/SimCamera.h"

namespace {

constexpr int CaptureSeconds = 60;

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long long pages = 0;
  long long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

struct Soak {
  qint64 seconds = 600;
  QString folder;
  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 largestStall = 0;  // ms between two ticks beyond the 10 ms period
  qint64 stallAt = 0;
  qint64 largestLoopStall = 0;  // the same, inside the capture loops
  long long produced = 0;
  long long stored = 0;
  long long dropped = 0;
  int captures = 0;
  // The camera's frame number when the running capture's loop began (its
  // panel shows "ESC - STOP" from then on); -1 before.
  long long loopStart = -1;
  long long loopEnd = -1;  // when Stop was given (the loop ends at its next pass)
  qint64 captureCalled = 0;
  qint64 loopStartedAt = 0;

  void Tick() {
    const qint64 now = clock.elapsed();
    // Measured before this tick can mark the loop's start: the gap up to
    // the first tick in the loop is the capture's start-up.
    if (AppCommand->Captures.CaptureRunning && loopStart >= 0)
      largestLoopStall = std::max(largestLoopStall, now - lastTick - 10);
    if (AppCommand->Captures.CaptureRunning && loopStart < 0 &&
        MainForm->Panel(PanelFPS) == QStringLiteral("ESC - STOP")) {
      loopStart = static_cast<long long>(simcam::Install().FrameNumber());
      loopStartedAt = now;
    }
    if (now - lastTick - 10 > largestStall) {
      largestStall = now - lastTick - 10;
      stallAt = now;
    }
    lastTick = now;
  }

  void Report() const {
    std::printf("%4llds  resident %.1f MiB\n", static_cast<long long>(clock.elapsed() / 1000),
                ResidentMiB());
    std::fflush(stdout);
  }

  // One capture of 60 s (shorter at the end of the run), then the next.
  void Capture() {
    const qint64 left = seconds * 1000 - clock.elapsed();
    if (left < 1000) {
      MainForm->close();
      return;
    }
    loopStart = -1;
    captureCalled = clock.elapsed();
    QTimer::singleShot(std::min<qint64>(left, CaptureSeconds * 1000), [this] {
      loopEnd = static_cast<long long>(simcam::Install().FrameNumber());
      AppCommand->StopVideo();  // ends only the capture
    });
    AppCommand->Captures.Frames2Capture = 0;
    AppCommand->SaveRAWVideo();
    CountCapture(loopEnd - loopStart);
    QTimer::singleShot(0, [this] { Capture(); });
  }

  // Frames produced while the capture loop ran: those it did not store were
  // dropped (a full pool) or never read (the loop too slow).
  void CountCapture(long long made) {
    const auto match =
        QRegularExpression(R"(^(\d+)\((\d+)\) \.\.\.$)").match(MainForm->Panel(PanelStatus));
    const long long read = match.captured(1).toLongLong();
    const long long drops = match.captured(2).toLongLong();
    made = std::max(made, read);
    std::printf(
        "capture %d: %lld frames produced, %lld read, %lld stored, %lld dropped; "
        "%lld ms from the command to the first frame read\n",
        ++captures, made, read, read - drops, made - (read - drops),
        static_cast<long long>(loopStartedAt - captureCalled));
    std::fflush(stdout);
    produced += made;
    stored += read - drops;
    dropped += made - (read - drops);
    for (const QString& name : QDir(folder).entryList({"*.RAW"}, QDir::Files))
      QFile::remove(folder + "/" + name);
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  Soak soak;
  if (argc > 1) soak.seconds = std::max(1L, std::strtol(argv[1], nullptr, 10));
  const QString base = qEnvironmentVariable("QDV_BENCH_DIR", QStringLiteral("/tmp"));
  QTemporaryDir folder(base + "/qdv_soak_XXXXXX");
  if (!folder.isValid()) {
    std::fprintf(stderr, "no temporary folder under %s\n", qPrintable(base));
    return 1;
  }
  soak.folder = folder.path();
  QDir::setCurrent(folder.path());  // the closing preset lands there too

  // The camera streams 8-bit frames at full size and rate before the program
  // starts, so live video starts with it.
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  {
    const platform::UniqueHandle handle(OpenCamera(0));
    ViewPortRecord region{};
    region.SizeX = 1920;
    region.SizeY = 1080;
    SetViewPort(handle.get(), &region);
    SetStreamStatus(handle.get(), QDV_STREAM_RAW8);
  }

  return RunProgram(argc, argv, [&soak] {
    SettingsForm->edPath->setText(soak.folder + "/");
    AppCommand->SetDebayerMode(DEBAYER_BILINEAR);
    AppCommand->SetImageCorrection(1);
    AppCommand->SetHSLCorrection(10.0, 1.2, 1.0);
    soak.clock.start();
    auto* ticks = new QTimer(MainForm);
    QObject::connect(ticks, &QTimer::timeout, [&soak] { soak.Tick(); });
    ticks->start(10);
    auto* report = new QTimer(MainForm);
    QObject::connect(report, &QTimer::timeout, [&soak] { soak.Report(); });
    report->start(10000);
    // Some live video first, then the captures.
    QTimer::singleShot(5000, [&soak] { soak.Capture(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&soak] {
      soak.Report();
      std::printf(
          "%lld s, %d captures: %lld frames produced, %lld stored, %lld dropped; "
          "largest GUI stall %lld ms (at %lld s), inside the capture loops %lld ms\n",
          static_cast<long long>(soak.clock.elapsed() / 1000), soak.captures, soak.produced,
          soak.stored, soak.dropped, static_cast<long long>(soak.largestStall),
          static_cast<long long>(soak.stallAt / 1000),
          static_cast<long long>(soak.largestLoopStall));
    });
  });
}
