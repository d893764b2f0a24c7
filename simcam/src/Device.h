// The simulated camera behind its driver: one device object that answers the
// driver's I/O-control requests; the control surface (SimCamera) works on the
// same state.
//
// All state is guarded by one mutex. A frame read waits on a condition
// variable (so other requests are served meanwhile) and renders its frame
// outside the lock from a snapshot of the settings.
#ifndef SIMCAM_DEVICE_H
#define SIMCAM_DEVICE_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "QDV47B5API.h"
#include "platform/device.h"
#include "simcam/SimCamera.h"
#include "simcam/src/FrameRenderer.h"
#include "simcam/src/Registers.h"

namespace simcam {

class Device : public platform::DeviceDriver {
 public:
  Device();

  DWORD Open() override;
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD& bytesReturned) override;

 private:
  // The control surface works on the device's state directly.
  friend class SimCamera;

  using Clock = std::chrono::steady_clock;

  struct Failure {
    std::int32_t remaining;  // negative: every request
    DWORD error;
  };

  // Everything that power-on restores.
  struct State {
    RegisterFile registers;
    DWORD stream = QDV_STREAM_OFF;
    DWORD format = QDV_STREAM_RAW8;  // the last format streamed
    DWORD clockCode = kDefaultClockCode;
    DWORD timeoutMs = 5000;
    DWORD trigger = 0;
    DWORD sdram = 0;
    DWORD median = 0;
    DWORD interPacketGap = 0;
    DWORD param227 = 0;
    DWORD whiteBalance = QDV_WHITE_BALANCE_OFF;
    DWORD colorEnhancement = 64;
    DWORD inputs = 0;
    ViewPortRecord viewPort{0, 0, 1920, 1080, 0, 0, 0, 0, 1920, 1080, 0, 0, 0, 0, 0, 0};
    ColourTables lookup{};
    bool defaultLookup = true;

    // Statistics.
    StatisticsRecord counters{};
    double intervalBase = 0;  // 100 ns units accumulated outside real time
    Clock::time_point realSince{};

    // Stream and frames.
    Timing timing = Timing::RealTime;
    std::uint32_t seed = 0x5EED;
    std::uint64_t nextFrame = 0;
    std::optional<std::uint64_t> ready;  // completed, not yet handed out
    bool anchored = false;               // real-time schedule running
    Clock::time_point nextDue{};
    double anchoredPeriod = 0;
    std::uint64_t lastCompressedBytes = 0;

    // Injected faults and request counts.
    std::uint32_t lossPerFrame = 0;
    bool absent = false;
    bool stalled = false;
    std::map<DWORD, Failure> failures;
    std::map<DWORD, std::uint64_t> requests;
    std::vector<std::uint16_t> sensorWrites;  // oldest first, see RecordSensorWrite
  };
  static constexpr std::size_t kSensorWriteLogSize = 4096;
  void RecordSensorWrite(std::uint16_t word);

  // Request handlers; each returns ERROR_SUCCESS or an error code.
  DWORD Dispatch(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes);
  DWORD Command(const void* in, DWORD inSize);
  DWORD LookupTable(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes);
  DWORD ViewPort(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& bytes);
  DWORD Statistics(void* out, DWORD outSize, DWORD& bytes);
  DWORD StreamStatus(DWORD status);
  DWORD ReadFrame(void* out, DWORD outSize, DWORD& bytes);

  // Stream timing, called with the lock held.
  double PeriodLocked() const;
  bool FreeRunningLocked() const;
  void AdvanceLocked(Clock::time_point now);
  void RescheduleLocked(Clock::time_point now);
  void ProduceLocked(std::uint64_t count);
  std::int64_t IntervalLocked(Clock::time_point now) const;
  FrameJob JobLocked(std::uint64_t frame) const;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  State state_;
  HANDLE triggerEvent_;

  // Cache of the tables the current settings give (rebuilt when they change).
  struct ToneKey {
    SensorResponse response;
    DWORD format = 0;
    std::uint64_t lookupVersion = 0;
    bool operator==(const ToneKey&) const = default;
  };
  mutable ToneKey toneKey_;
  mutable std::shared_ptr<const ToneTables> tones_;
  std::uint64_t lookupVersion_ = 1;
};

}  // namespace simcam

#endif
