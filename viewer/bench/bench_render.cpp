// The viewer's frame path on the 1080p samples (page cache), headless:
// ReadNextFrame + RenderFrame to the painted panel, per stream format,
// demosaicing mode and colour correction; and RenderFrame alone. Compare
// with the camera application's RenderFrame (APP_bench_render) run in the
// same session. Needs the samples (ctest -R viewer_samples).
#include <benchmark/benchmark.h>

#include <QDir>

#include "common/bench/QtBenchmarkMain.h"
#include "imaging/streamformat.h"
#include "viewer/bench/BenchForm.h"
#include "viewer/tests/samples/SampleFiles.h"

namespace {

TAppForm* Form() { return BenchForm(); }

bool OpenSample(benchmark::State& state, std::int32_t status) {
  TAppForm* form = Form();
  const TSampleFile sample{status, 1920, 1080, 2};
  form->Session.FileName = QDir(QStringLiteral(QDV_VIEWER_SAMPLES)).filePath(SampleName(sample));
  form->Session.OpenRAWFile();
  if (!form->Session.FileOpen() || !form->Session.ReadNextFrame()) {
    state.SkipWithError("sample missing: run ctest -R viewer_samples first");
    return false;
  }
  form->Session.SetZoom(1);
  form->Session.SetDebayerMode(static_cast<std::int32_t>(state.range(1)));
  form->Session.CorrectionOn = state.range(2) != 0;
  form->Session.RenderFrame();  // the panel takes its size, the cube its colours
  return true;
}

// args: stream format, mode, correction.
void BM_ReadAndRender(benchmark::State& state) {
  if (!OpenSample(state, static_cast<std::int32_t>(state.range(0)))) return;
  TAppForm* form = Form();
  for (auto _ : state) {
    if (!form->Session.ReadNextFrame()) form->Session.RewindRAWFile();
    benchmark::DoNotOptimize(form->Session.RenderFrame());
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderFrame(benchmark::State& state) {
  if (!OpenSample(state, static_cast<std::int32_t>(state.range(0)))) return;
  TAppForm* form = Form();
  for (auto _ : state) benchmark::DoNotOptimize(form->Session.RenderFrame());
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Arguments(benchmark::internal::Benchmark* b) {
  for (const StreamFormatInfo& format : StreamFormats)
    for (int mode = 0; mode <= 7; ++mode)
      for (int correction = 0; correction <= 1; ++correction) {
        if (mode == 0 && correction == 1) continue;  // grey pictures are not corrected
        b->Args({format.code, mode, correction});
      }
  // Real time: the colour correction of a frame is split between the
  // caller and worker threads, so the caller's CPU time understates a frame.
  b->ArgNames({"format", "mode", "cc"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_ReadAndRender)->Apply(Arguments);
BENCHMARK(BM_RenderFrame)->Apply(Arguments);

}  // namespace
