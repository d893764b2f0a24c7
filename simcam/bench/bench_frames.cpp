// Frame production of the simulated camera: one full 1920 x 1080 frame per
// iteration in each stream format, read with GetFrame's request in
// deterministic timing (so the read never waits for the frame period). A
// 60 fps stream needs each frame in well under 16.7 ms on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "QDV47B5API.h"
#include "imaging/streamformat.h"
#include "simcam/SimCamera.h"

namespace {

constexpr DWORD kBufferBytes = 4393504;

HANDLE OpenStream(DWORD format) {
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  camera.SetTiming(simcam::Timing::Deterministic);
  HANDLE h = CreateFileA(QDV_DEVICE_PATH, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD returned = 0;
  DeviceIoControl(h, QDV_IOCTL_STREAM_STATUS, &format, sizeof format, nullptr, 0, &returned,
                  nullptr);
  return h;
}

void ReadFrames(benchmark::State& state, HANDLE h, bool changeGain) {
  std::vector<std::uint8_t> buffer(kBufferBytes);
  DWORD bytes = 0, returned = 0;
  std::uint16_t fine = 0;
  for (auto _ : state) {
    if (changeGain) {
      // As when the user drags the gain slider: new tables every frame.
      std::uint16_t word = static_cast<std::uint16_t>(0xB000 + (++fine & 0x1FF));
      DeviceIoControl(h, QDV_IOCTL_SET_SENSOR_REG, &word, 2, &word, 2, &returned, nullptr);
    }
    if (!DeviceIoControl(h, QDV_IOCTL_GET_FRAME, nullptr, 0, buffer.data(), kBufferBytes, &bytes,
                         nullptr)) {
      state.SkipWithError("GetFrame failed");
      break;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
  state.counters["frame_bytes"] = bytes;
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  CloseHandle(h);
}

void BM_GetFrame(benchmark::State& state) {
  ReadFrames(state, OpenStream(static_cast<DWORD>(state.range(0))), false);
}
void EveryFormat(benchmark::internal::Benchmark* b) {
  b->ArgName("format");
  for (const StreamFormatInfo& format : StreamFormats) b->Arg(format.code);
}
BENCHMARK(BM_GetFrame)->Apply(EveryFormat)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetFrameWhileGainChanges(benchmark::State& state) {
  ReadFrames(state, OpenStream(static_cast<DWORD>(state.range(0))), true);
}
BENCHMARK(BM_GetFrameWhileGainChanges)
    ->ArgName("format")
    ->Arg(STREAM_RAW8)
    ->Arg(STREAM_COMPRESSED8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_GetFrameWithSensorGamma(benchmark::State& state) {
  HANDLE h = OpenStream(STREAM_RAW8);
  std::uint16_t word = 0x7080;
  DWORD returned = 0;
  DeviceIoControl(h, QDV_IOCTL_SET_SENSOR_REG, &word, 2, &word, 2, &returned, nullptr);
  ReadFrames(state, h, false);
}
BENCHMARK(BM_GetFrameWithSensorGamma)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
