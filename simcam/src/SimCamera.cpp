// The control surface of the simulated camera, and its installation.
#include "simcam/SimCamera.h"

#include "platform/device.h"
#include "simcam/src/Device.h"

namespace simcam {

SimCamera::SimCamera(std::shared_ptr<Device> device) : device_(std::move(device)) {}
SimCamera::~SimCamera() = default;

void SimCamera::PowerOn() {
  Device& d = *device_;
  {
    std::lock_guard lock(d.mutex_);
    d.state_ = Device::State{};
    d.state_.realSince = Device::Clock::now();
    ++d.lookupVersion_;
  }
  ResetEvent(d.triggerEvent_);
  d.wake_.notify_all();
}

void SimCamera::SetTiming(Timing timing) {
  Device& d = *device_;
  {
    std::lock_guard lock(d.mutex_);
    const Device::Clock::time_point now = Device::Clock::now();
    d.AdvanceLocked(now);
    if (timing != d.state_.timing) {
      d.state_.intervalBase = static_cast<double>(d.IntervalLocked(now));
      d.state_.realSince = now;
      d.state_.timing = timing;
      d.state_.anchored = false;
    }
    d.RescheduleLocked(now);
  }
  d.wake_.notify_all();
}

Timing SimCamera::GetTiming() const {
  std::lock_guard lock(device_->mutex_);
  return device_->state_.timing;
}

void SimCamera::SetSeed(std::uint32_t seed) {
  std::lock_guard lock(device_->mutex_);
  device_->state_.seed = seed;
}

std::uint32_t SimCamera::Seed() const {
  std::lock_guard lock(device_->mutex_);
  return device_->state_.seed;
}

void SimCamera::SetFrameNumber(std::uint64_t next) {
  Device& d = *device_;
  std::lock_guard lock(d.mutex_);
  d.AdvanceLocked(Device::Clock::now());
  d.state_.nextFrame = next;
  d.state_.ready.reset();
}

std::uint64_t SimCamera::FrameNumber() const {
  std::lock_guard lock(device_->mutex_);
  return device_->state_.nextFrame;
}

DWORD SimCamera::RenderFrame(std::uint64_t frameNumber, void* buffer, DWORD size,
                             DWORD& bytes) const {
  if (buffer == nullptr) return kErrorBadRequest;
  FrameJob job;
  {
    std::lock_guard lock(device_->mutex_);
    job = device_->JobLocked(frameNumber);
  }
  return simcam::RenderFrame(job, static_cast<std::uint8_t*>(buffer), size, bytes);
}

bool SimCamera::SetExternalInput(int input, bool active) {
  if (input != 1 && input != 2) return false;
  const DWORD bit = input == 1 ? QDV_EXTERNAL_INPUT1_ACTIVE : QDV_EXTERNAL_INPUT2_ACTIVE;
  Device& d = *device_;
  bool changed = false;
  {
    std::lock_guard lock(d.mutex_);
    const DWORD inputs = active ? (d.state_.inputs | bit) : (d.state_.inputs & ~bit);
    changed = inputs != d.state_.inputs;
    d.state_.inputs = inputs;
  }
  if (changed) SetEvent(d.triggerEvent_);
  return true;
}

void SimCamera::PulseTrigger() {
  Device& d = *device_;
  {
    std::lock_guard lock(d.mutex_);
    d.AdvanceLocked(Device::Clock::now());
    const Device::State& s = d.state_;
    if (s.stream != QDV_STREAM_OFF && (s.trigger & QDV_TRIGGER_EXTERNAL_SYNC) != 0 && !s.stalled)
      d.ProduceLocked(1);
  }
  SetEvent(d.triggerEvent_);
  d.wake_.notify_all();
}

void SimCamera::SetPacketLoss(std::uint32_t packetsPerFrame) {
  Device& d = *device_;
  std::lock_guard lock(d.mutex_);
  d.AdvanceLocked(Device::Clock::now());  // frames until now keep the old loss
  d.state_.lossPerFrame = packetsPerFrame;
}

void SimCamera::FailRequests(DWORD code, std::int32_t count, DWORD error) {
  std::lock_guard lock(device_->mutex_);
  device_->state_.failures[code] =
      Device::Failure{count, error != ERROR_SUCCESS ? error : kErrorInjectedDefault};
}

void SimCamera::ClearFailures() {
  std::lock_guard lock(device_->mutex_);
  device_->state_.failures.clear();
}

void SimCamera::SetAbsent(bool absent) {
  std::lock_guard lock(device_->mutex_);
  device_->state_.absent = absent;
}

void SimCamera::SetStalled(bool stalled) {
  Device& d = *device_;
  {
    std::lock_guard lock(d.mutex_);
    const Device::Clock::time_point now = Device::Clock::now();
    d.AdvanceLocked(now);
    d.state_.stalled = stalled;
    if (stalled) d.state_.ready.reset();
    d.RescheduleLocked(now);
  }
  d.wake_.notify_all();
}

std::uint64_t SimCamera::RequestCount(DWORD code) const {
  std::lock_guard lock(device_->mutex_);
  const auto& requests = device_->state_.requests;
  const auto it = requests.find(code);
  return it == requests.end() ? 0 : it->second;
}

void SimCamera::ResetRequestCounts() {
  std::lock_guard lock(device_->mutex_);
  device_->state_.requests.clear();
  device_->state_.sensorWrites.clear();
}

std::vector<std::uint16_t> SimCamera::SensorRegisterWrites() const {
  std::lock_guard lock(device_->mutex_);
  return device_->state_.sensorWrites;
}

SimCamera& Install() {
  static const std::shared_ptr<Device> device = std::make_shared<Device>();
  static SimCamera camera(device);
  platform::RegisterDevice(kDeviceName, device);
  return camera;
}

}  // namespace simcam
