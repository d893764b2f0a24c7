// RAW capture of 1080p frames from the simulated camera to a file on local
// disk, through SaveRAWVideo with its frame pool and preview thread.
//
// Every MB/s here counts bytes until they are on disk (the file's data
// synchronised), so the page cache does not flatter one side. "plain_MB/s" is
// a plain sequential write of the same number of bytes in 16 MiB blocks to
// the same folder from memory allocated like the pool's, timed in the same
// run right after.
// BM_RAWCapture: the camera as fast as it can deliver (deterministic timing),
//   12-bit packed frames, pools of 2 x 16 MB and 32 x 16 MB: frames per
//   second of the capture, MB/s, drops.
// BM_FramePoolWriter: the pool alone, its producer storing 12-bit 1080p
//   records as fast as blocks come free: the writer thread's MB/s.
// BM_RAWCaptureRealTime: the camera at its full 1080p frame rate in every
//   stream format with both pools; the drops should be 0.
//
// Files go to a temporary folder under $QDV_BENCH_DIR (default /tmp) and are
// removed after each run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "APP/Commands.h"
#include "APP/MemPool.h"
#include "APP/RAWCapture.h"
#include "APP/tests/test_render_setup.h"
#include "QDV47B5API.h"
#include "common/RAWVideo.h"
#include "common/bench/QtBenchmarkMain.h"
#include "simcam/SimCamera.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double MB = 1048576.0;

QTemporaryDir* folder = nullptr;

// The capture folder of the settings dialog.
class BenchSettingsView : public ISettingsView {
 public:
  void ShowNonModal() override {}
  bool IsShown() const override { return false; }
  void SetDialogEnabled(bool) override {}
  void SetDebayerSelection(int) override {}
  int SaveImageMode() const override { return 0; }
  QString CapturePath() const override { return folder->path() + "/"; }
  void SetStatisticsText(const QString&, const QString&) override {}
  void SetExternalInputStatus(bool, bool) override {}
};

// When the capture's header went out: the capture loop starts right after.
struct HeaderClock {
  Clock::time_point written;
  TFileWriter Writer() {
    return [this, first = true](int file, const void* data, std::uint64_t size) mutable {
      const bool ok = WriteRAWVideoData(file, data, size);
      if (first) written = Clock::now();
      first = false;
      return ok;
    };
  }
};

void Configure(simcam::SimCamera& camera, simcam::Timing timing, DWORD code) {
  camera.SetTiming(timing);
  CameraDevice->SetStreamStatus(code);
  CameraDevice->SetDefaultLookupTable();
  ViewPortRecord full{};
  full.SizeX = 1920;
  full.SizeY = 1080;
  CameraDevice->UpdateViewPort(full);
}

// Seconds to write `bytes` in 16 MiB blocks to a new file in the folder and
// have them on disk. The blocks are allocated like a pool of `blocks` blocks
// just before, because a large allocation slows the writes that follow it
// for a while (the kernel reclaims and compacts memory meanwhile).
double PlainWriteSeconds(std::uint64_t bytes, int blocks) {
  constexpr std::uint64_t blockBytes = 16 << 20;
  const TMemPool source(blocks, blockBytes);
  const QByteArray name = QFile::encodeName(folder->path() + "/plain.bin");
  const int file = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const Clock::time_point start = Clock::now();
  for (std::uint64_t left = bytes, i = 0; left > 0 && source.IsValid(); ++i) {
    const std::uint64_t n = std::min(left, blockBytes);
    if (!WriteRAWVideoData(file, source.GetBlock(static_cast<std::int32_t>(i % blocks)), n)) break;
    left -= n;
  }
  ::fdatasync(file);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(file);
  ::unlink(name.constData());
  return seconds;
}

struct CaptureRun {
  std::uint64_t bytes;   // the file's size
  double loopSeconds;    // from the header write to SaveRAWVideo's return
  double diskSeconds;    // from the header write until the file is on disk
  double frames, drops;  // the final counters
};

CaptureRun Capture(int frames, int blocks) {
  AppCommand->PoolBlockCount = blocks;
  AppCommand->PoolBlockSizeMB = 16;
  AppCommand->Frames2Capture = frames;
  AppCommand->RAWCounter = 0;
  HeaderClock header;
  SetRAWCaptureWriter(header.Writer());
  AppCommand->SaveRAWVideo();
  SetRAWCaptureWriter(nullptr);
  const Clock::time_point returned = Clock::now();
  const QString name = folder->path() + "/VIDEO_0.RAW";
  const int file = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
  ::fdatasync(file);
  ::close(file);
  CaptureRun run;
  run.diskSeconds = std::chrono::duration<double>(Clock::now() - header.written).count();
  run.loopSeconds = std::chrono::duration<double>(returned - header.written).count();
  run.bytes = static_cast<std::uint64_t>(QFileInfo(name).size());
  QFile::remove(name);
  const auto match =
      QRegularExpression(R"(^(\d+)\((\d+)\))").match(AppCommand->MainView->Panel(PanelStatus));
  run.frames = match.captured(1).toDouble();
  run.drops = match.captured(2).toDouble();
  return run;
}

// args: pool blocks of 16 MB.
void BM_RAWCapture(benchmark::State& state, simcam::SimCamera* camera) {
  Configure(*camera, simcam::Timing::Deterministic, QDV_STREAM_PACKED12);
  for (auto _ : state) {
    const int blocks = static_cast<int>(state.range(0));
    const CaptureRun run = Capture(300, blocks);
    state.SetIterationTime(run.diskSeconds);
    const double megabytes = static_cast<double>(run.bytes) / MB;
    state.counters["fps"] = run.frames / run.loopSeconds;
    state.counters["MB/s"] = megabytes / run.diskSeconds;
    state.counters["drops"] = run.drops;
    const double plain = PlainWriteSeconds(run.bytes, blocks);
    state.counters["plain_MB/s"] = megabytes / plain;
    state.counters["vs_plain"] = plain / run.diskSeconds;
  }
}

// args: stream format, pool blocks of 16 MB.
void BM_RAWCaptureRealTime(benchmark::State& state, simcam::SimCamera* camera) {
  Configure(*camera, simcam::Timing::RealTime, static_cast<DWORD>(state.range(0)));
  for (auto _ : state) {
    const CaptureRun run = Capture(90, static_cast<int>(state.range(1)));
    state.SetIterationTime(run.loopSeconds);
    state.counters["fps"] = run.frames / run.loopSeconds;
    state.counters["drops"] = run.drops;
  }
}

// The pool alone on the same disk: the producer stores 1080p 12-bit records
// as fast as blocks come free (waiting for room instead of dropping), so the
// time is the writer thread's. args: pool blocks of 16 MB.
void BM_FramePoolWriter(benchmark::State& state) {
  constexpr std::uint32_t frameBytes = 1920 * 1080 * 3 / 2;
  constexpr std::uint32_t reservation = (1080 + 4) * 1920 * 2;
  constexpr int frames = 300;
  const QByteArray name = QFile::encodeName(folder->path() + "/pool.bin");
  for (auto _ : state) {
    const int file = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    double seconds = 0;
    {
      TFramePool pool(file, static_cast<std::int32_t>(state.range(0)), 16 << 20);
      const Clock::time_point start = Clock::now();
      for (int i = 0; i < frames; ++i) {
        while (pool.Reserve(reservation) == nullptr) std::this_thread::yield();
        pool.Commit(frameBytes);
      }
      pool.Flush();
      ::fdatasync(file);
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    ::close(file);
    ::unlink(name.constData());
    state.SetIterationTime(seconds);
    const double bytes = frames * (frameBytes + 4.0);
    state.counters["MB/s"] = bytes / MB / seconds;
    const double plain =
        PlainWriteSeconds(static_cast<std::uint64_t>(bytes), static_cast<int>(state.range(0)));
    state.counters["plain_MB/s"] = bytes / MB / plain;
    state.counters["vs_plain"] = plain / seconds;
  }
}

// Each run is one capture or one pool's worth of frames, timed by hand.
void Once(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void Pools(benchmark::internal::Benchmark* b) {
  b->ArgName("blocks")->Arg(2)->Arg(32)->Repetitions(5)->Apply(Once);
}

}  // namespace

[[maybe_unused]] const bool Registered = SetBenchmarkProgram(
    [] {
      simcam::SimCamera& camera = StartLiveVideoApplication();
      QCoreApplication::processEvents();
      const QString base = qEnvironmentVariable("QDV_BENCH_DIR", "/tmp");
      folder = new QTemporaryDir(base + "/rawcapture_bench_XXXXXX");
      static BenchSettingsView settings;
      AppCommand->SettingsView = &settings;
      // The first large write of a process runs well below the disk's speed.
      PlainWriteSeconds(std::uint64_t{512} << 20, 32);

      benchmark::RegisterBenchmark("BM_RAWCapture", BM_RAWCapture, &camera)->Apply(Pools);
      benchmark::RegisterBenchmark("BM_FramePoolWriter", BM_FramePoolWriter)->Apply(Pools);
      benchmark::RegisterBenchmark("BM_RAWCaptureRealTime", BM_RAWCaptureRealTime, &camera)
          ->ArgNames({"code", "blocks"})
          ->ArgsProduct({{1, 2, 3, 4}, {2, 32}})
          ->Apply(Once);
    },
    [] {
      TThread::ShutDownAll();
      delete folder;
    });
