// Writing AVI frames: a full 1920 x 1080 colour frame whose rows need no
// filler (one write per frame), and a 1918-pixel-wide one whose rows are
// padded (one write per row). The file is rewritten from the start once it
// nears the size limit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/avifile.h"

namespace {

void WriteFrames(benchmark::State& state) {
  platform::AVIStreamFormat format;
  format.width = static_cast<std::int32_t>(state.range(0));
  format.height = 1080;
  const std::string path = "/tmp/bench_avifile_" + std::to_string(::getpid()) + ".avi";
  const std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.width) * 1080 * 3, 0x5A);
  platform::AVIFileWriter writer;
  writer.Open(path, format);
  for (auto _ : state) {
    if (!writer.NextFrameFits()) {
      state.PauseTiming();
      writer.Open(path, format);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(writer.WriteFrame(frame.data()));
  }
  writer.Close();
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(frame.size()));
}
BENCHMARK(WriteFrames)->Arg(1920)->Arg(1918)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
