// The histogram window and the settings dialog on 1080p frames, headless:
// the time the window adds per frame (UpdateRAW + UpdateRGB with both boxes
// painted) by depth and view, and one curve-slider step (both display tables
// rebuilt, the frame rendered again). Needs the samples (ctest -R
// viewer_samples).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QSlider>

#include "common/bench/QtBenchmarkMain.h"
#include "imaging.h"
#include "viewer/Program.h"
#include "viewer/THistogram.h"
#include "viewer/TSettingsForm.h"
#include "viewer/tests/samples/SampleFiles.h"

namespace {

QString Sample(std::int32_t status) {
  return QDir(QStringLiteral(QDV_VIEWER_SAMPLES)).filePath(SampleName({status, 1920, 1080, 2}));
}

void Open(std::int32_t status) {
  AppForm->Session.FileName = Sample(status);
  AppForm->Session.OpenRAWFile();
  AppForm->Session.ReadNextFrame();
}

// args: bits (8, 10, 12), grey view (0, 1).
void BM_HistogramWindowPerFrame(benchmark::State& state) {
  const auto bits = static_cast<std::int32_t>(state.range(0));
  const bool grey = state.range(1) != 0;
  Open(bits == 8 ? 1 : bits == 10 ? 4 : 2);
  if (!AppForm->Session.FileOpen()) {
    state.SkipWithError("sample missing: run ctest -R viewer_samples first");
    return;
  }
  Histogram->ShowNonModal();
  AppForm->Session.SetDebayerMode(grey ? 0 : 4);  // decodes the frame into the buffers
  const void* raw = bits == 8 ? static_cast<const void*>(AppForm->Session.RawBuffer.get())
                              : static_cast<const void*>(AppForm->Session.Pixels16.get());
  const std::uint8_t* shown =
      grey ? (bits == 8 ? AppForm->Session.RawBuffer.get() : AppForm->Session.Pixels8.get())
           : AppForm->Session.Image24.get();
  for (auto _ : state) {
    Histogram->UpdateRAW(raw, 1920, grey, bits, 1080);
    Histogram->UpdateRGB(shown, 1920, grey, 1080);
  }
  Histogram->hide();
}

// One brightness step of the mono curve on a 12-bit frame in bilinear mode,
// correction off.
void BM_CurveSliderStep(benchmark::State& state) {
  Open(2);
  if (!AppForm->Session.FileOpen()) {
    state.SkipWithError("sample missing: run ctest -R viewer_samples first");
    return;
  }
  AppForm->Session.SetDebayerMode(4);
  int value = 0;
  for (auto _ : state) {
    value = value == 10 ? 11 : 10;
    SettingsForm->tbMonoBrightness->setValue(value);
  }
}

BENCHMARK(BM_HistogramWindowPerFrame)
    ->ArgsProduct({{8, 10, 12}, {0, 1}})
    ->ArgNames({"bits", "grey"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurveSliderStep)->Unit(benchmark::kMillisecond);

}  // namespace

[[maybe_unused]] const bool Registered = SetBenchmarkProgram(
    [] {
      CreateForms({QStringLiteral("QDVView")});
      AppForm->resize(1024, 700);
      AppForm->show();
    },
    [] { DestroyForms(); });
