// Playback and conversion speed on the 1080p 12-bit sample, headless:
// frames painted through the playback thread against the same reads and
// paints in one thread (the hand-over's cost), and a 300-record file
// converted into AVI parts in memory (/dev/shm) and on the build folder's
// disk, against the same renders without writing. Needs the samples
// (ctest -R viewer_samples).
//
// How long the window stops answering meanwhile: an event-loop latency
// probe (a zero-timer that records the gap since it last ran) gives the
// longest step the GUI thread took between two passes of its event loop,
// from F3 to the completion message and through a whole playback.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>

#include "common/Messages.h"
#include "common/bench/QtBenchmarkMain.h"
#include "viewer/bench/BenchForm.h"
#include "viewer/tests/samples/SampleFiles.h"

namespace {

constexpr int ConvertedRecords = 300;

// Counts the renders: each one hands the histogram its picture.
class RenderCounter : public IViewerHistogram {
 public:
  bool IsShown() const override { return true; }
  void ShowNonModal() override {}
  void UpdateRAW(const void*, std::int32_t, bool, std::int32_t, std::int32_t) override {}
  void UpdateRGB(const std::uint8_t*, std::int32_t, bool, std::int32_t) override { ++renders; }
  std::int64_t renders = 0;
};

RenderCounter counter;

TAppForm* Form() {
  TAppForm* form = BenchForm();
  form->Session.HistogramView = &counter;
  return form;
}

bool Open(benchmark::State& state, const QString& path, std::int32_t mode, bool corrected) {
  TAppForm* form = Form();
  form->Session.StopPlayback();
  form->Session.FileName = path;
  form->Session.OpenRAWFile();
  if (!form->Session.FileOpen() || !form->Session.ReadNextFrame()) {
    state.SkipWithError("sample missing: run ctest -R viewer_samples first");
    return false;
  }
  form->Session.SetDebayerMode(mode);
  form->Session.CorrectionOn = corrected;
  form->Session.RenderFrame();
  return true;
}

QString Sample() {
  return QDir(QStringLiteral(QDV_VIEWER_SAMPLES)).filePath(SampleName({2, 1920, 1080, 2}));
}

// arg: mode. Each iteration is one frame painted by the GUI thread.
void BM_PlaybackThread(benchmark::State& state) {
  if (!Open(state, Sample(), static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  form->Session.StartPlayback();
  for (auto _ : state) {
    const std::int64_t before = counter.renders;
    while (counter.renders == before)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  form->Session.StopPlayback();
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The same reads and paints in the GUI thread alone.
void BM_ReadAndRepaint(benchmark::State& state) {
  if (!Open(state, Sample(), static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  for (auto _ : state) {
    if (!form->Session.ReadNextFrame()) form->Session.RewindRAWFile();
    form->Session.RepaintForm();
    QCoreApplication::processEvents();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

bool longFileMade = false;

// A 300-record 12-bit file: the sample's records over and over.
QString LongFile() {
  static const QString path = [] {
    const QString name = QStringLiteral(QDV_VIEWER_BUILD_DIR "/bench_convert_1080p.RAW");
    QFile in(Sample());
    QFile out(name);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return QString();
    const QByteArray header = in.read(RAWVideoHeaderSize);
    const QByteArray records = in.readAll();
    out.write(header);
    for (int i = 0; i < ConvertedRecords / 2; ++i) out.write(records);
    longFileMade = true;
    return name;
  }();
  return path;
}

// arg: 0 renders only (the conversion's loop without a writer), 1 into
// memory, 2 onto disk. Mode 4 with correction.
void BM_Convert(benchmark::State& state) {
  const QString raw = LongFile();
  if (raw.isEmpty() || !Open(state, raw, 4, true)) return;
  TAppForm* form = Form();
  const ScopedMessageSink quiet([](MessageKind, const QString&, const QString&) {});
  const QString work = state.range(0) == 1 ? QStringLiteral("/dev/shm/qdv_bench_convert")
                                           : QStringLiteral(QDV_VIEWER_BUILD_DIR "/bench_convert");
  QDir(work).removeRecursively();
  QDir().mkpath(work);
  form->Session.WorkDir = work;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    form->Session.RewindRAWFile();
    if (state.range(0) == 0) {
      do {
        form->Session.RenderFrame();
        QCoreApplication::processEvents();
      } while (form->Session.ReadNextFrame());
    } else {
      form->mSaveAVIClick();
      state.PauseTiming();
      for (const QFileInfo& part : QDir(work).entryInfoList(QDir::Files)) bytes += part.size();
      QDir(work).removeRecursively();
      QDir().mkpath(work);
      state.ResumeTiming();
    }
  }
  QDir(work).removeRecursively();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()) * ConvertedRecords,
                                             benchmark::Counter::kIsRate);
  state.counters["MB/s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}

// A zero-timer runs once per pass of the event loop: the longest gap
// between two runs is the longest time the window could not answer.
class LatencyProbe {
 public:
  LatencyProbe() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  }
  void Start() {
    longestNs_ = 0;
    clock_.start();
    last_ = 0;
    timer_.start();
  }
  // The longest gap, in milliseconds.
  double Stop() {
    Tick();
    timer_.stop();
    return double(longestNs_) / 1e6;
  }

 private:
  void Tick() {
    const std::int64_t now = clock_.nsecsElapsed();
    longestNs_ = std::max(longestNs_, now - last_);
    last_ = now;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  std::int64_t last_ = 0;
  std::int64_t longestNs_ = 0;
};

// args: mode, target (0 memory in /dev/shm, 1 the build folder's disk). One
// conversion of the 300-record file started from the event loop as F3
// starts it, its completion message answered at once.
void BM_ConvertStall(benchmark::State& state) {
  const QString raw = LongFile();
  if (raw.isEmpty() || !Open(state, raw, static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  const ScopedMessageSink quiet([](MessageKind, const QString&, const QString&) {});
  const QString work = state.range(1) == 0 ? QStringLiteral("/dev/shm/qdv_bench_stall")
                                           : QStringLiteral(QDV_VIEWER_BUILD_DIR "/bench_stall");
  LatencyProbe probe;
  double longest = 0;
  for (auto _ : state) {
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    form->Session.WorkDir = work;
    probe.Start();
    bool done = false;
    QTimer::singleShot(0, form, [form, &done] {
      form->mSaveAVIClick();
      done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    longest = std::max(longest, probe.Stop());
  }
  QDir(work).removeRecursively();
  state.counters["longest_ms"] = longest;
}

// arg: mode. Playback of the 300-record file to its end (no loop).
void BM_PlaybackStall(benchmark::State& state) {
  const QString raw = LongFile();
  if (raw.isEmpty() || !Open(state, raw, static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  form->Session.VideoLoop = false;
  LatencyProbe probe;
  double longest = 0;
  for (auto _ : state) {
    form->Session.RewindRAWFile();
    probe.Start();
    form->Session.StartPlayback();
    while (form->Session.PlaybackRunning())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    longest = std::max(longest, probe.Stop());
  }
  form->Session.VideoLoop = true;
  state.counters["longest_ms"] = longest;
}

// Wall-clock rates: the playback thread's reads are not the main thread's time.
BENCHMARK(BM_PlaybackThread)
    ->Arg(0)
    ->Arg(4)
    ->ArgName("mode")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndRepaint)
    ->Arg(0)
    ->Arg(4)
    ->ArgName("mode")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("target")
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStall)
    ->ArgsProduct({{0, 4, 5, 6}, {0, 1}})
    ->ArgNames({"mode", "disk"})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaybackStall)
    ->Arg(0)
    ->Arg(4)
    ->Arg(5)
    ->Arg(6)
    ->ArgName("mode")
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
