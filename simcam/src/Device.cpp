// The simulated camera's request handling and stream timing.
#include "simcam/src/Device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "simcam/src/Scene.h"

namespace simcam {

namespace {

constexpr DWORD kPacketBytes = 1496;

// The camera's identity: serial number "470501.2.1.3.12".
constexpr CameraInfoRecord kCameraInfo = {2, 1, 470501, 3, 12, {'S', 'I', 'M', 0}};

template <class T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(void* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

// A get (output only) or a set (input only) of one u32 setting; `apply`
// validates and stores a new value and returns an error code.
template <class Apply>
DWORD GetOrSet(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes, DWORD current,
               Apply apply) {
  if (in != nullptr && out == nullptr) {
    if (inSize < sizeof(DWORD)) return kErrorBadRequest;
    return apply(Load<DWORD>(in));
  }
  if (out != nullptr && in == nullptr) {
    if (outSize < sizeof(DWORD)) return kErrorBadRequest;
    Store(out, current);
    bytes = sizeof(DWORD);
    return ERROR_SUCCESS;
  }
  return kErrorBadRequest;
}

// Stores any value.
auto Into(DWORD& field) {
  return [&field](DWORD v) {
    field = v;
    return ERROR_SUCCESS;
  };
}

// Stores a value of at most `max`, except the value `refused`.
auto IntoChecked(DWORD& field, DWORD max, DWORD refused = 0xFFFFFFFFu) {
  return [&field, max, refused](DWORD v) {
    if (v > max || v == refused) return kErrorBadRequest;
    field = v;
    return ERROR_SUCCESS;
  };
}

// The region the sensor can deliver nearest to the one asked for: width a
// multiple of 16 (16..1920), height even (2..1080), start even (so the
// mosaic keeps its GBRG phase) and inside the sensor. The delivered frame
// size equals the region; the other fields pass through.
ViewPortRecord Grant(const ViewPortRecord& want) {
  ViewPortRecord v = want;
  const std::uint64_t width =
      std::clamp<std::uint64_t>((static_cast<std::uint64_t>(want.SizeX) + 7) / 16 * 16, 16, 1920);
  const std::uint64_t height = std::clamp<std::uint64_t>(want.SizeY & ~1u, 2, 1080);
  v.SizeX = static_cast<std::uint32_t>(width);
  v.SizeY = static_cast<std::uint32_t>(height);
  v.StartX = std::min<std::uint32_t>(want.StartX & ~1u, static_cast<std::uint32_t>(1920 - width));
  v.StartY = std::min<std::uint32_t>(want.StartY & ~1u, static_cast<std::uint32_t>(1080 - height));
  v.Width = v.SizeX;
  v.Height = v.SizeY;
  return v;
}

bool IsFrameRead(DWORD code) {
  return code == QDV_IOCTL_GET_FRAME || code == QDV_IOCTL_GET_FRAME_ALT;
}

}  // namespace

Device::Device() : triggerEvent_(CreateEventA(nullptr, 0, 0, kTriggerEventName)) {
  // The trigger event stays open for the life of the process, like the
  // driver that owns it. The scene is rendered now, so that the first frame
  // of a stream comes as quickly as every later one.
  Scene::Get();
  state_.realSince = Clock::now();
}

// ---------------------------------------------------------------------------
// Requests

DWORD Device::Open() {
  std::lock_guard lock(mutex_);
  return state_.absent ? kErrorDeviceAbsent : ERROR_SUCCESS;
}

DWORD Device::IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                        DWORD& bytesReturned) {
  bytesReturned = 0;
  {
    std::lock_guard lock(mutex_);
    ++state_.requests[code];
    StatisticsRecord& c = state_.counters;
    if (auto it = state_.failures.find(code);
        it != state_.failures.end() && it->second.remaining != 0) {
      Failure& f = it->second;
      if (f.remaining > 0) --f.remaining;
      if (!IsFrameRead(code)) ++c.ControlError;
      return f.error;
    }
    if (!IsFrameRead(code)) {
      const Clock::time_point now = Clock::now();
      AdvanceLocked(now);
      const DWORD error = Dispatch(code, in, inSize, out, outSize, bytesReturned);
      RescheduleLocked(now);
      if (error != ERROR_SUCCESS)
        ++c.ControlError;
      else if (code == QDV_IOCTL_GET_SENSOR_REG ||
               (out != nullptr && code != QDV_IOCTL_SET_SENSOR_REG))
        ++c.ControlGet;
      else if (code != QDV_IOCTL_STATISTICS)
        ++c.ControlSet;
      // A waiting frame read re-examines the stream.
      wake_.notify_all();
      return error;
    }
  }
  return ReadFrame(out, outSize, bytesReturned);
}

void Device::RecordSensorWrite(std::uint16_t word) {
  // Only the latest writes are kept: a long run must not grow the log.
  std::vector<std::uint16_t>& writes = state_.sensorWrites;
  if (writes.size() == kSensorWriteLogSize)
    writes.erase(writes.begin(), writes.begin() + kSensorWriteLogSize / 2);
  writes.push_back(word);
}

DWORD Device::Dispatch(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD& bytes) {
  State& s = state_;
  switch (code) {
    case QDV_IOCTL_COMMAND: return Command(in, inSize);
    case QDV_IOCTL_SET_SENSOR_REG:
    case QDV_IOCTL_GET_SENSOR_REG: {
      // A word in; the register's word back (a set may go without it).
      const bool answer = out != nullptr;
      if (in == nullptr || inSize < 2 || (answer && outSize < 2) ||
          (!answer && code == QDV_IOCTL_GET_SENSOR_REG))
        return kErrorBadRequest;
      const std::uint16_t word = Load<std::uint16_t>(in);
      if (code == QDV_IOCTL_SET_SENSOR_REG) {
        s.registers.Write(word);
        RecordSensorWrite(word);
      }
      if (answer) {
        Store(out, s.registers.Read(word));
        bytes = 2;
      }
      return ERROR_SUCCESS;
    }
    case QDV_IOCTL_LOOKUP_TABLE: return LookupTable(in, inSize, out, outSize, bytes);
    case QDV_IOCTL_FRAME_WAIT_TIMEOUT:
      return GetOrSet(in, inSize, out, outSize, bytes, s.timeoutMs, Into(s.timeoutMs));
    case QDV_IOCTL_STREAM_STATUS:
      return GetOrSet(in, inSize, out, outSize, bytes, s.stream,
                      [this](DWORD v) { return StreamStatus(v); });
    case QDV_IOCTL_VIEWPORT: return ViewPort(in, inSize, out, outSize, bytes);
    case QDV_IOCTL_STATISTICS:
      return in != nullptr ? kErrorBadRequest : Statistics(out, outSize, bytes);
    case QDV_IOCTL_FREQUENCY:
      return GetOrSet(
          in, inSize, out, outSize, bytes, s.clockCode,
          IntoChecked(s.clockCode, static_cast<DWORD>(SensorMath::kPixelClockMhz.size() - 1)));
    case QDV_IOCTL_TRIGGER_CONTROL:
      return GetOrSet(in, inSize, out, outSize, bytes, s.trigger, [&s](DWORD v) {
        // Once synchronised, only frames of later pulses are handed out.
        if ((s.trigger & QDV_TRIGGER_EXTERNAL_SYNC) == 0 && (v & QDV_TRIGGER_EXTERNAL_SYNC) != 0)
          s.ready.reset();
        s.trigger = v;
        return ERROR_SUCCESS;
      });
    case QDV_IOCTL_EXTERNAL_INPUT:  // read only
      return GetOrSet(in, inSize, out, outSize, bytes, s.inputs,
                      [](DWORD) { return kErrorBadRequest; });
    case QDV_IOCTL_CAMERA_INFO:
      if (in != nullptr || out == nullptr || outSize < sizeof kCameraInfo) return kErrorBadRequest;
      Store(out, kCameraInfo);
      bytes = sizeof kCameraInfo;
      return ERROR_SUCCESS;
    case QDV_IOCTL_SDRAM_STATUS:
      return GetOrSet(in, inSize, out, outSize, bytes, s.sdram, Into(s.sdram));
    case QDV_IOCTL_MEDIAN_FILTER:
      return GetOrSet(in, inSize, out, outSize, bytes, s.median, IntoChecked(s.median, 2));
    case QDV_IOCTL_INTER_PACKET_GAP:
      return GetOrSet(in, inSize, out, outSize, bytes, s.interPacketGap,
                      IntoChecked(s.interPacketGap, 0xFFFF));
    case QDV_IOCTL_PARAM227:
      return GetOrSet(in, inSize, out, outSize, bytes, s.param227, Into(s.param227));
    case QDV_IOCTL_WHITE_BALANCE:
      return GetOrSet(in, inSize, out, outSize, bytes, s.whiteBalance,
                      IntoChecked(s.whiteBalance, QDV_WHITE_BALANCE_LOCKED, 2));
    case QDV_IOCTL_COLOR_ENHANCEMENT:
      return GetOrSet(in, inSize, out, outSize, bytes, s.colorEnhancement,
                      Into(s.colorEnhancement));
    default: return kErrorUnknownRequest;
  }
}

// Command packets: byte 0 the command, bytes 1 to 3 its parameters. Only the
// sensor reset (01 6B 64) acts; the other known commands are accepted.
DWORD Device::Command(const void* in, DWORD inSize) {
  if (in == nullptr || inSize < 4) return kErrorBadRequest;
  const auto* p = static_cast<const std::uint8_t*>(in);
  switch (p[0]) {
    case QDV_CMD_RESET_SENSOR:
      if (p[1] != 0x6B || p[2] != 0x64) return kErrorBadRequest;
      state_.registers.Reset();
      return ERROR_SUCCESS;
    case QDV_CMD_MODE_1:
    case QDV_CMD_MODE_0:
    case QDV_CMD_MODE_MINUS_1:
    case QDV_CMD_09:
    case QDV_CMD_0A:
    case QDV_CMD_0B:
    case QDV_CMD_0C:
    case QDV_CMD_10:
    case QDV_CMD_11: return ERROR_SUCCESS;
    default: return kErrorBadRequest;
  }
}

// 24,576 bytes in: a colour table; 8,192 bytes in: one table for all
// colours; 24,576 bytes out: the colour table in use; no buffers: back to the
// default table.
DWORD Device::LookupTable(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes) {
  State& s = state_;
  if (in != nullptr && out != nullptr) return kErrorBadRequest;
  if (out != nullptr) {
    if (outSize < QDV_COLOR_LOOKUP_BYTES) return kErrorBadRequest;
    ColourTables tables = s.lookup;
    if (s.defaultLookup) FillDefaultTables(s.format, tables);
    std::memcpy(out, tables.data(), QDV_COLOR_LOOKUP_BYTES);
    bytes = QDV_COLOR_LOOKUP_BYTES;
    return ERROR_SUCCESS;
  }
  if (in == nullptr) {
    s.defaultLookup = true;
  } else if (inSize == QDV_COLOR_LOOKUP_BYTES) {
    std::memcpy(s.lookup.data(), in, QDV_COLOR_LOOKUP_BYTES);
    s.defaultLookup = false;
  } else if (inSize == QDV_MONO_LOOKUP_BYTES) {
    for (int c = 0; c < 3; ++c)
      std::memcpy(s.lookup.data() + c * kLookupEntries, in, QDV_MONO_LOOKUP_BYTES);
    s.defaultLookup = false;
  } else {
    return kErrorBadRequest;
  }
  ++lookupVersion_;
  return ERROR_SUCCESS;
}

// Out only: the current region; in only: set it; both: set it and return
// the granted region.
DWORD Device::ViewPort(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes) {
  if ((in != nullptr && inSize < sizeof(ViewPortRecord)) ||
      (out != nullptr && outSize < sizeof(ViewPortRecord)) || (in == nullptr && out == nullptr))
    return kErrorBadRequest;
  if (in != nullptr) state_.viewPort = Grant(Load<ViewPortRecord>(in));
  if (out != nullptr) {
    Store(out, state_.viewPort);
    bytes = sizeof(ViewPortRecord);
  }
  return ERROR_SUCCESS;
}

// Out: the counters; no buffers: clear them.
DWORD Device::Statistics(void* out, DWORD outSize, DWORD& bytes) {
  const Clock::time_point now = Clock::now();
  if (out == nullptr) {
    state_.counters = StatisticsRecord{};
    state_.intervalBase = 0;
    state_.realSince = now;
    return ERROR_SUCCESS;
  }
  if (outSize < sizeof(StatisticsRecord)) return kErrorBadRequest;
  StatisticsRecord record = state_.counters;
  record.Interval = IntervalLocked(now);
  Store(out, record);
  bytes = sizeof(StatisticsRecord);
  return ERROR_SUCCESS;
}

DWORD Device::StreamStatus(DWORD status) {
  if (status != QDV_STREAM_OFF && FindStreamFormat(status) == nullptr) return kErrorBadRequest;
  State& s = state_;
  if (status == QDV_STREAM_OFF) s.ready.reset();
  if (status != QDV_STREAM_OFF) s.format = status;
  s.stream = status;
  return ERROR_SUCCESS;
}

DWORD Device::ReadFrame(void* out, DWORD outSize, DWORD& bytes) {
  if (out == nullptr) return kErrorBadRequest;
  std::unique_lock lock(mutex_);
  Clock::time_point now = Clock::now();
  AdvanceLocked(now);
  RescheduleLocked(now);
  const Clock::time_point deadline = now + std::chrono::milliseconds(state_.timeoutMs);
  while (!state_.ready) {
    if (state_.timing == Timing::Deterministic && FreeRunningLocked()) {
      ProduceLocked(1);
      break;
    }
    if (now >= deadline) return kErrorFrameTimeout;
    wake_.wait_until(lock, state_.anchored ? std::min(deadline, state_.nextDue) : deadline);
    now = Clock::now();
    AdvanceLocked(now);
    RescheduleLocked(now);
  }
  const FrameJob job = JobLocked(*state_.ready);
  state_.ready.reset();
  lock.unlock();

  const DWORD error = RenderFrame(job, static_cast<std::uint8_t*>(out), outSize, bytes);

  lock.lock();
  if (error == ERROR_SUCCESS) {
    ++state_.counters.FrameUser;
    if (job.tables->format == STREAM_COMPRESSED8) state_.lastCompressedBytes = bytes;
  }
  return error;
}

// ---------------------------------------------------------------------------
// Stream timing

double Device::PeriodLocked() const {
  return FramePeriodSeconds(state_.registers, state_.clockCode, state_.sdram != 0);
}

bool Device::FreeRunningLocked() const {
  return state_.stream != QDV_STREAM_OFF && (state_.trigger & QDV_TRIGGER_EXTERNAL_SYNC) == 0 &&
         !state_.stalled && PeriodLocked() > 0;
}

// Completes the frames that have come due by `now` in real time.
void Device::AdvanceLocked(Clock::time_point now) {
  State& s = state_;
  if (s.timing != Timing::RealTime || !s.anchored || !FreeRunningLocked() || now < s.nextDue)
    return;
  const double period = s.anchoredPeriod;
  const double late = std::chrono::duration<double>(now - s.nextDue).count();
  const double due = std::min(std::floor(late / period) + 1, 1e15);
  const auto count = static_cast<std::uint64_t>(due);
  ProduceLocked(count);
  s.nextDue +=
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due * period));
}

// Starts, stops or re-times the real-time schedule after a change of state:
// the first frame of a free-running stream comes one period after its start,
// and after a change of period one new period after the last frame.
void Device::RescheduleLocked(Clock::time_point now) {
  State& s = state_;
  if (s.timing != Timing::RealTime || !FreeRunningLocked()) {
    s.anchored = false;
    return;
  }
  const double period = PeriodLocked();
  const auto asDuration = [](double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  };
  if (!s.anchored) {
    s.anchored = true;
    s.nextDue = now + asDuration(period);
  } else if (period != s.anchoredPeriod) {
    s.nextDue = s.nextDue - asDuration(s.anchoredPeriod) + asDuration(period);
  }
  s.anchoredPeriod = period;
}

// The sensor produces `count` frames; the last one waits to be handed out.
void Device::ProduceLocked(std::uint64_t count) {
  State& s = state_;
  // A compressed frame counts the size of the last one handed out (or of an
  // 8-bit frame before the first).
  const int width = static_cast<int>(s.viewPort.Width),
            height = static_cast<int>(s.viewPort.Height);
  std::uint64_t frameBytes = FrameBytesBound(s.format, width, height);
  if (s.format == STREAM_COMPRESSED8)
    frameBytes = s.lastCompressedBytes != 0 ? s.lastCompressedBytes
                                            : FrameBytesBound(STREAM_RAW8, width, height);
  const std::uint64_t packets = (frameBytes + kPacketBytes - 1) / kPacketBytes;
  const std::uint64_t lost = std::min<std::uint64_t>(s.lossPerFrame, packets);
  StatisticsRecord& c = s.counters;
  c.FrameCount = static_cast<std::uint32_t>(c.FrameCount + count);
  c.PacketCount = static_cast<std::uint32_t>(c.PacketCount + count * (packets - lost));
  c.PacketLost = static_cast<std::uint32_t>(c.PacketLost + count * lost);
  if (s.timing == Timing::Deterministic)
    s.intervalBase += static_cast<double>(count) * PeriodLocked() * 1e7;
  s.nextFrame += count;
  s.ready = s.nextFrame - 1;
}

std::int64_t Device::IntervalLocked(Clock::time_point now) const {
  double interval = state_.intervalBase;
  if (state_.timing == Timing::RealTime)
    interval +=
        std::chrono::duration<double, std::ratio<1, 10000000>>(now - state_.realSince).count();
  return std::llround(interval);
}

FrameJob Device::JobLocked(std::uint64_t frame) const {
  const State& s = state_;
  const ToneKey key{ResponseOf(s.registers, s.clockCode), s.format,
                    s.defaultLookup ? 0 : lookupVersion_};
  if (!tones_ || !(key == toneKey_)) {
    ColourTables lookup = s.lookup;
    if (s.defaultLookup) FillDefaultTables(s.format, lookup);
    tones_ = BuildToneTables(key.response, s.format, lookup);
    toneKey_ = key;
  }
  FrameJob job;
  job.region = {static_cast<int>(s.viewPort.StartX), static_cast<int>(s.viewPort.StartY),
                static_cast<int>(s.viewPort.Width), static_cast<int>(s.viewPort.Height)};
  job.seed = s.seed;
  job.frame = frame;
  job.tables = tones_;
  return job;
}

}  // namespace simcam
