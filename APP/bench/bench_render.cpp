// The live-video path on 1080p frames from the simulated camera in
// deterministic mode, headless: GrabFrame through to the painted panel, per
// stream format, demosaicing mode, colour correction and zoom, and each
// stage on its own (camera read, decoding, demosaicing, correction, the
// panel's copy, painting).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QScrollArea>

#include <cstring>
#include <vector>

#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/tests/test_render_setup.h"
#include "QDV47B5API.h"
#include "common/RenderCore.h"
#include "common/VideoPanel.h"
#include "common/bench/QtBenchmarkMain.h"
#include "imaging.h"
#include "simcam/SimCamera.h"

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

// A matrix that touches every colour (the cube fills on first use).
const double Matrix[12] = {0.9, 0.05, 0.05, 0.1, 0.8, 0.1, 0.05, 0.05, 0.9, 4, 2, -3};

void Configure(std::uint32_t code, std::int32_t mode, bool correction, std::int32_t zoom) {
  if (CameraDevice->GetStreamStatus() != code) {
    CameraDevice->SetStreamStatus(code);
    CameraDevice->SetDefaultLookupTable();
  }
  AppCommand->SetDebayerMode(mode);
  AppCommand->SetZoom(zoom);
  AppCommand->Render.ActiveCorrection =
      correction ? AppCommand->Render.ColorCorrectionObject.get() : nullptr;
}

// A frame of the given format as the camera delivers it.
std::vector<std::uint8_t> CaptureFrame(std::uint32_t code) {
  Configure(code, 1, false, 1);
  std::vector<std::uint8_t> frame(FrameBufferSize);
  std::uint32_t bytes = 0;
  CameraDevice->GetFrame(frame.data(), FrameBufferSize, bytes);
  frame.resize(bytes);
  return frame;
}

void WarmUp() {
  // Two frames: the panel takes its size, the correction cube its colours.
  AppCommand->GrabFrame();
  AppCommand->GrabFrame();
}

// GrabFrame to painted panel: args stream format, mode, correction, zoom.
void BM_LivePath(benchmark::State& state) {
  const auto code = static_cast<std::uint32_t>(state.range(0));
  Configure(code, static_cast<std::int32_t>(state.range(1)), state.range(2) != 0,
            static_cast<std::int32_t>(state.range(3)));
  WarmUp();
  for (auto _ : state) benchmark::DoNotOptimize(AppCommand->GrabFrame());
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// RenderFrame alone on a frame read once (no camera): the same arguments.
void BM_RenderFrame(benchmark::State& state) {
  const auto code = static_cast<std::uint32_t>(state.range(0));
  const std::vector<std::uint8_t> frame = CaptureFrame(code);
  Configure(code, static_cast<std::int32_t>(state.range(1)), state.range(2) != 0,
            static_cast<std::int32_t>(state.range(3)));
  const auto bytes = static_cast<std::uint32_t>(frame.size());
  AppCommand->RenderFrame(code, frame.data(), bytes, Width, Height, AppCommand->Render.DebayerMode);
  for (auto _ : state)
    benchmark::DoNotOptimize(AppCommand->RenderFrame(code, frame.data(), bytes, Width, Height,
                                                     AppCommand->Render.DebayerMode));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The camera's part: stream status, region of interest and one frame.
void BM_Stage_Camera(benchmark::State& state) {
  Configure(static_cast<std::uint32_t>(state.range(0)), 1, false, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(CameraDevice->GetStreamStatus());
    ViewPortRecord viewPort{};
    CameraDevice->GetViewPort(viewPort);
    std::uint32_t bytes = 0;
    CameraDevice->GetFrame(AppCommand->Render.FrameBuffer, FrameBufferSize, bytes);
    benchmark::DoNotOptimize(bytes);
  }
}

// Decoding to 8-bit samples (with the display table for 10 and 12 bits), by
// the render core the live path runs.
void BM_Stage_Decode(benchmark::State& state) {
  const auto code = static_cast<std::uint32_t>(state.range(0));
  const std::vector<std::uint8_t> frame = CaptureFrame(code);
  const auto bytes = static_cast<std::uint32_t>(frame.size());
  const TRenderBuffers buffers{AppCommand->Render.Pixels16, AppCommand->Render.Pixels8,
                               AppCommand->Render.Image24};
  const TDisplayLookup lookup{AppCommand->Render.LUT10, AppCommand->Render.LUT12};
  for (auto _ : state) {
    TRenderFrame decoded;
    UnpackFrame(code, frame.data(), bytes, Width, Height, buffers, decoded);
    MapFrameTo8Bit(decoded, lookup, buffers);
    benchmark::DoNotOptimize(decoded.samples);
    benchmark::ClobberMemory();
  }
}

void BM_Stage_Demosaic(benchmark::State& state) {
  const std::vector<std::uint8_t> frame = CaptureFrame(1);
  const Debayer8Func member =
      Debayer8Member(static_cast<std::int32_t>(state.range(0)), DEBAYER_8TO24, BAYER_GBRG);
  for (auto _ : state) {
    member(frame.data(), Width, Height, AppCommand->Render.Image24);
    benchmark::ClobberMemory();
  }
}

// Correction of the camera's picture: arg 0 warm (the cube holds its
// colours), 1 cold (the first frame after a settings change).
void BM_Stage_Correction(benchmark::State& state) {
  const std::vector<std::uint8_t> frame = CaptureFrame(1);
  DebayerBilinear_8to24_GBRG(frame.data(), Width, Height, AppCommand->Render.Image24);
  std::vector<std::uint8_t> picture(AppCommand->Render.Image24,
                                    AppCommand->Render.Image24 + Width * Height * 3);
  ApplyColorCorrection(AppCommand->Render.ColorCorrectionObject.get(), picture.data(), Width,
                       Height);
  const bool cold = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(AppCommand->Render.Image24, picture.data(), picture.size());
    if (cold) SetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(), Matrix);
    state.ResumeTiming();
    ApplyColorCorrection(AppCommand->Render.ColorCorrectionObject.get(), AppCommand->Render.Image24,
                         Width, Height);
    benchmark::ClobberMemory();
  }
}

// The panel's copy of the picture: arg 8 (grey) or 24 bits.
void BM_Stage_PanelCopy(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  TVideoPanel* panel = MainForm->VideoPanel;
  for (auto _ : state)
    benchmark::DoNotOptimize(panel->SetPicture(
        bits == 8 ? AppCommand->Render.Pixels8 : AppCommand->Render.Image24, Width, Height, bits));
  QCoreApplication::processEvents();
}

// Painting the panel at a zoom code (its visible part, as on screen).
void BM_Stage_Paint(benchmark::State& state) {
  const std::vector<std::uint8_t> frame = CaptureFrame(1);
  Configure(1, 4, false, static_cast<std::int32_t>(state.range(0)));
  AppCommand->RenderFrame(1, frame.data(), static_cast<std::uint32_t>(frame.size()), Width, Height,
                          4);
  TVideoPanel* panel = MainForm->VideoPanel;
  for (auto _ : state) panel->repaint();
}

void LiveArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"code", "mode", "cc", "zoom"});
  for (const StreamFormatInfo& format : StreamFormats)
    for (int mode = 0; mode <= 7; ++mode)
      for (int cc = 0; cc <= 1; ++cc) b->Args({format.code, mode, cc, 1});
  for (int zoom : {-4, -3, -2, 2, 3, 4, 5})
    for (int mode : {0, 4, 6}) b->Args({STREAM_PACKED10, mode, 1, zoom});
}

// Every stream format; without the 8-bit one, which has nothing to decode.
void FormatArguments(benchmark::internal::Benchmark* b, bool decoded) {
  b->ArgName("code");
  for (const StreamFormatInfo& format : StreamFormats)
    if (!decoded || format.code != STREAM_RAW8) b->Arg(format.code);
}
void EveryFormat(benchmark::internal::Benchmark* b) { FormatArguments(b, false); }
void DecodedFormats(benchmark::internal::Benchmark* b) { FormatArguments(b, true); }

}  // namespace

BENCHMARK(BM_LivePath)->Apply(LiveArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFrame)->Apply(LiveArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_Camera)->Apply(EveryFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_Decode)->Apply(DecodedFormats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_Demosaic)->ArgName("mode")->DenseRange(1, 7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_Correction)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_PanelCopy)->ArgName("bits")->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stage_Paint)
    ->ArgName("zoom")
    ->Arg(-4)
    ->Arg(-2)
    ->Arg(1)
    ->Arg(2)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool Registered = SetBenchmarkProgram(
    [] {
      StartLiveVideoApplication();
      QCoreApplication::processEvents();
      SetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(), Matrix);
      SetColorCorrectionMode(AppCommand->Render.ColorCorrectionObject.get(), CorrectionMatrix);
      // Live video as StartVideo leaves it, without the frame thread: the
      // benchmark itself calls GrabFrame.
      MainForm->SetVideoPanelFill(false);
    },
    [] { TThread::ShutDownAll(); });
