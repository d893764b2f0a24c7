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
// BM_RAWCaptureResponse: what the user meets at F4 with pools of 2, 32 and
//   128 blocks of 16 MB and 32 of 64 MB, the camera at its real rate:
//   first_ms from the command to the first frame read (into the pool when
//   first_dropped is 0), start_stall_ms the longest time the GUI thread did
//   not serve its events until then, stall_ms the longest over the whole
//   capture, end_stall_ms the longest after the last frame read, end_ms from
//   the last frame read until the command returned. The GUI thread's stalls
//   are gaps between deliveries of an event that posts itself again.
// BM_AVICaptureResponse: the same for an AVI capture (F3) of 8-bit frames.
//
// Files go to a temporary folder under $QDV_BENCH_DIR (default /tmp) and are
// removed after each run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "APP/capture/MemPool.h"
#include "APP/capture/RAWCapture.h"
#include "APP/control/Commands.h"
#include "APP/tests/test_render_setup.h"
#include "QDV47B5API.h"
#include "common/RAWVideo.h"
#include "common/bench/QtBenchmarkMain.h"
#include "platform/device.h"
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
  AppCommand->Captures.PoolBlockCount = blocks;
  AppCommand->Captures.PoolBlockSizeMB = 16;
  AppCommand->Captures.Frames2Capture = frames;
  AppCommand->Captures.RAWCounter = 0;
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

// A driver that passes every request on to the simulated camera and notes
// when frame reads return: the first and the last.
class FrameTimingDriver : public platform::DeviceDriver {
 public:
  FrameTimingDriver() : camera_(OpenCamera(0)) {}
  ~FrameTimingDriver() override { CloseHandle(camera_); }
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD& bytes) override {
    const bool ok = DeviceIoControl(camera_, code, const_cast<void*>(in), inSize, out, outSize,
                                    &bytes, nullptr);
    if (code == QDV_IOCTL_GET_FRAME && ok) {
      const auto now = Clock::now().time_since_epoch().count();
      long long expected = 0;
      first.compare_exchange_strong(expected, now);
      last.store(now);
    }
    return ok ? ERROR_SUCCESS : GetLastError();
  }
  std::atomic<long long> first{0}, last{0};

 private:
  HANDLE camera_;
};

// The event loop's latency: an event that posts itself again each time it
// is delivered, noting every gap between two deliveries. A gap is a time the
// GUI thread served no event. (A zero timer would undercount: while posted
// events keep coming, as the preview's hand-overs do, the event loop runs
// timers only now and then.)
class StallProbe : public QObject {
 public:
  StallProbe() : last_(Clock::now()) { Post(); }
  ~StallProbe() override { QCoreApplication::removePostedEvents(this); }
  void Tick() {
    const Clock::time_point now = Clock::now();
    gaps_.push_back({last_, now});
    last_ = now;
  }
  // The longest gap that overlaps [from, to], in milliseconds.
  double Longest(Clock::time_point from, Clock::time_point to) const {
    double longest = 0;
    for (const auto& [begin, end] : gaps_)
      if (end >= from && begin <= to)
        longest = std::max(longest, std::chrono::duration<double, std::milli>(end - begin).count());
    return longest;
  }

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    Tick();
    Post();
    return true;
  }

 private:
  void Post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

  Clock::time_point last_;
  std::vector<std::pair<Clock::time_point, Clock::time_point>> gaps_;
};

Clock::time_point At(long long ticks) { return Clock::time_point(Clock::duration(ticks)); }

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Runs one capture command as a key press would (from the event loop) and
// fills the response counters.
void MeasureResponse(benchmark::State& state, void (TAppCommand::*command)()) {
  auto driver = std::make_shared<FrameTimingDriver>();
  platform::RegisterDevice(QDV_DEVICE_NAME, driver);
  Clock::time_point pressed, returned;
  {
    StallProbe probe;
    QTimer::singleShot(0, [&] {
      probe.Tick();
      pressed = Clock::now();
      (AppCommand->*command)();
      returned = Clock::now();
    });
    while (returned == Clock::time_point()) QCoreApplication::processEvents();
    probe.Tick();
    const Clock::time_point first = At(driver->first.load()), last = At(driver->last.load());
    state.SetIterationTime(Milliseconds(pressed, returned) / 1000);
    state.counters["first_ms"] = Milliseconds(pressed, first);
    state.counters["start_stall_ms"] = probe.Longest(pressed, first);
    state.counters["stall_ms"] = probe.Longest(pressed, returned);
    state.counters["end_stall_ms"] = probe.Longest(last, returned);
    state.counters["end_ms"] = Milliseconds(last, returned);
  }
  simcam::Install();
}

// args: pool blocks, MB per block.
void BM_RAWCaptureResponse(benchmark::State& state, simcam::SimCamera* camera) {
  Configure(*camera, simcam::Timing::RealTime, QDV_STREAM_RAW8);
  for (auto _ : state) {
    AppCommand->Captures.PoolBlockCount = static_cast<std::int32_t>(state.range(0));
    AppCommand->Captures.PoolBlockSizeMB = static_cast<std::int32_t>(state.range(1));
    AppCommand->Captures.Frames2Capture = 60;
    AppCommand->Captures.RAWCounter = 0;
    MeasureResponse(state, &TAppCommand::SaveRAWVideo);
    const auto match =
        QRegularExpression(R"(^(\d+)\((\d+)\))").match(AppCommand->MainView->Panel(PanelStatus));
    state.counters["frames"] = match.captured(1).toDouble();
    state.counters["drops"] = match.captured(2).toDouble();
    QFile::remove(folder->path() + "/VIDEO_0.RAW");
  }
}

void BM_AVICaptureResponse(benchmark::State& state, simcam::SimCamera* camera) {
  Configure(*camera, simcam::Timing::RealTime, QDV_STREAM_RAW8);
  for (auto _ : state) {
    AppCommand->Captures.Frames2Capture = 60;
    AppCommand->Captures.AVICounter = 0;
    MeasureResponse(state, &TAppCommand::SaveVideo);
    QFile::remove(folder->path() + "/VIDEO_0.AVI");
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
      benchmark::RegisterBenchmark("BM_RAWCaptureResponse", BM_RAWCaptureResponse, &camera)
          ->ArgNames({"blocks", "MB"})
          ->Args({2, 16})
          ->Args({32, 16})
          ->Args({128, 16})
          ->Args({32, 64})
          ->Apply(Once);
      benchmark::RegisterBenchmark("BM_AVICaptureResponse", BM_AVICaptureResponse, &camera)
          ->Apply(Once);
    },
    [] {
      TThread::ShutDownAll();
      delete folder;
    });
