// Playback and conversion speed on the 1080p 12-bit sample, headless:
// frames painted through the playback thread against the same reads and
// paints in one thread (the hand-over's cost), and a 300-record file
// converted into AVI parts in memory (/dev/shm) and on the build folder's
// disk, against the same renders without writing. Needs the samples
// (ctest -R viewer_samples).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

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
  form->HistogramView = &counter;
  return form;
}

bool Open(benchmark::State& state, const QString& path, std::int32_t mode, bool corrected) {
  TAppForm* form = Form();
  form->StopPlayback();
  form->FileName = path;
  form->OpenRAWFile();
  if (!form->FileOpen() || !form->ReadNextFrame()) {
    state.SkipWithError("sample missing: run ctest -R viewer_samples first");
    return false;
  }
  form->SetDebayerMode(mode);
  form->CorrectionOn = corrected;
  form->RenderFrame();
  return true;
}

QString Sample() {
  return QDir(QStringLiteral(QDV_VIEWER_SAMPLES)).filePath(SampleName({2, 1920, 1080, 2}));
}

// arg: mode. Each iteration is one frame painted by the GUI thread.
void BM_PlaybackThread(benchmark::State& state) {
  if (!Open(state, Sample(), static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  form->StartPlayback();
  for (auto _ : state) {
    const std::int64_t before = counter.renders;
    while (counter.renders == before)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  form->StopPlayback();
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The same reads and paints in the GUI thread alone.
void BM_ReadAndRepaint(benchmark::State& state) {
  if (!Open(state, Sample(), static_cast<std::int32_t>(state.range(0)), true)) return;
  TAppForm* form = Form();
  for (auto _ : state) {
    if (!form->ReadNextFrame()) form->RewindRAWFile();
    form->RepaintForm();
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
  form->WorkDir = work;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    form->RewindRAWFile();
    if (state.range(0) == 0) {
      do {
        form->RenderFrame();
        QCoreApplication::processEvents();
      } while (form->ReadNextFrame());
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

}  // namespace
