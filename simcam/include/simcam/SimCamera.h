// The simulated camera: an in-process stand-in for the gigabit-Ethernet
// camera and its kernel driver.
//
// simcam::Install() creates the camera, registers it with the platform
// layer's device table as "QDV47B5" (so the driver API's OpenCamera reaches it
// through "\\.\QDV47B5") and creates the auto-reset named event
// "QDV47B5TriggerEvent" that it signals whenever an external input changes.
// From then on the camera answers every driver request: sensor registers,
// stream and frames, region of interest, lookup tables, statistics and the
// stored settings.
//
// The SimCamera object returned by Install() is the control surface for tests
// and demonstrations: it injects trigger pulses, input changes, packet loss,
// failing requests, an absent device and a stalled stream, switches between
// real-time and deterministic frame timing, counts requests per control code
// and resets the whole simulation to its power-on state. All of its functions
// are thread-safe and may be called while other threads use the device.
#ifndef SIMCAM_SIMCAMERA_H
#define SIMCAM_SIMCAMERA_H

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win32.h"

namespace simcam {

class Device;

// Name under which the camera registers itself, and its trigger event.
inline constexpr char kDeviceName[] = "QDV47B5";
inline constexpr char kTriggerEventName[] = "QDV47B5TriggerEvent";

// Error codes with which the simulated driver fails a request (the driver API
// replaces them by its own codes; they are seen by direct DeviceIoControl
// callers and by CreateFileA).
inline constexpr DWORD kErrorUnknownRequest = 1;      // ERROR_INVALID_FUNCTION
inline constexpr DWORD kErrorBadRequest = 87;         // ERROR_INVALID_PARAMETER
inline constexpr DWORD kErrorFrameTimeout = 121;      // ERROR_SEM_TIMEOUT
inline constexpr DWORD kErrorBufferTooSmall = 122;    // ERROR_INSUFFICIENT_BUFFER
inline constexpr DWORD kErrorDeviceAbsent = 2;        // ERROR_FILE_NOT_FOUND (open)
inline constexpr DWORD kErrorInjectedDefault = 1117;  // ERROR_IO_DEVICE

// Frame timing.
//   RealTime: frames are paced by the sensor's frame period (the register
//     arithmetic at the clock frequency, doubled in high speed shutter mode);
//     GetFrame hands out the latest frame not yet handed out, or waits for the
//     next one.
//   Deterministic: each GetFrame returns the next frame at once (when the
//     stream runs freely); the statistics interval advances by one frame
//     period per frame instead of following the wall clock.
enum class Timing { RealTime, Deterministic };

class SimCamera {
 public:
  explicit SimCamera(std::shared_ptr<Device> device);
  ~SimCamera();
  SimCamera(const SimCamera&) = delete;
  SimCamera& operator=(const SimCamera&) = delete;

  // The whole simulation back to its power-on state: default registers,
  // settings, lookup tables and region, stream off, counters cleared, frame
  // number 0, default seed, real-time timing, inputs inactive, no injected
  // fault, request counts cleared, trigger event reset.
  void PowerOn();

  void SetTiming(Timing timing);
  Timing GetTiming() const;

  // Frames are a function of the seed, the frame number and the camera's
  // settings. The frame number counts every frame the sensor produces.
  void SetSeed(std::uint32_t seed);
  std::uint32_t Seed() const;
  // The number the next produced frame will carry.
  void SetFrameNumber(std::uint64_t next);
  std::uint64_t FrameNumber() const;

  // Renders frame `frameNumber` as GetFrame would deliver it with the current
  // settings (stream format, or the last one used when the stream is off;
  // region; lookup tables; registers), without touching the stream. Returns 0
  // with `bytes` set, or kErrorBufferTooSmall.
  DWORD RenderFrame(std::uint64_t frameNumber, void* buffer, DWORD size, DWORD& bytes) const;

  // External inputs and trigger. Inputs are numbered 1 and 2; a change of
  // state signals the trigger event. A pulse (input 1 going active and back)
  // signals the event and, with external synchronisation on and the stream
  // running, produces one frame.
  bool SetExternalInput(int input, bool active);
  void PulseTrigger();

  // Injected faults.
  // Each produced frame counts this many of its packets as lost (at most all
  // of them); the frame itself is still delivered whole.
  void SetPacketLoss(std::uint32_t packetsPerFrame);
  // Requests with this control code fail with `error` (0 stands for the
  // default): the next `count` ones, or all of them while count is negative.
  // Repeating the call for the same code replaces its rule.
  void FailRequests(DWORD code, std::int32_t count = -1, DWORD error = kErrorInjectedDefault);
  void ClearFailures();
  // While absent, opening the device fails with kErrorDeviceAbsent; handles
  // already open keep working.
  void SetAbsent(bool absent);
  // While stalled, a running stream produces no frames (GetFrame times out).
  void SetStalled(bool stalled);

  // Requests received per control code since power-on or the last reset of
  // the counts, failed ones included.
  std::uint64_t RequestCount(DWORD code) const;
  void ResetRequestCounts();
  // The sensor register words written, oldest first, since power-on or the
  // last reset of the counts (the latest few thousand of them).
  std::vector<std::uint16_t> SensorRegisterWrites() const;

 private:
  std::shared_ptr<Device> device_;
};

// Creates the camera on the first call, and on every call (re)registers it as
// "QDV47B5". The camera and its trigger event live until the process ends.
SimCamera& Install();

}  // namespace simcam

#endif
