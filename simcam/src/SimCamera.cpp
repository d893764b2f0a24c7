// Installation of the simulated camera and its control surface.
#include "simcam/SimCamera.h"

#include "Device.h"
#include "platform/device.h"

namespace simcam {

SimCamera::SimCamera(std::shared_ptr<Device> device) : device_(std::move(device)) {}
SimCamera::~SimCamera() = default;

void SimCamera::PowerOn() { device_->PowerOn(); }
void SimCamera::SetTiming(Timing timing) { device_->SetTiming(timing); }
Timing SimCamera::GetTiming() const { return device_->GetTiming(); }
void SimCamera::SetSeed(std::uint32_t seed) { device_->SetSeed(seed); }
std::uint32_t SimCamera::Seed() const { return device_->Seed(); }
void SimCamera::SetFrameNumber(std::uint64_t next) { device_->SetFrameNumber(next); }
std::uint64_t SimCamera::FrameNumber() const { return device_->FrameNumber(); }

DWORD SimCamera::RenderFrame(std::uint64_t frameNumber, void* buffer, DWORD size,
                             DWORD& bytes) const {
  return device_->RenderFrameCopy(frameNumber, buffer, size, bytes);
}

bool SimCamera::SetExternalInput(int input, bool active) {
  return device_->SetExternalInput(input, active);
}
void SimCamera::PulseTrigger() { device_->PulseTrigger(); }
void SimCamera::SetPacketLoss(std::uint32_t packetsPerFrame) {
  device_->SetPacketLoss(packetsPerFrame);
}
void SimCamera::FailRequests(DWORD code, std::int32_t count, DWORD error) {
  device_->FailRequests(code, count, error);
}
void SimCamera::ClearFailures() { device_->ClearFailures(); }
void SimCamera::SetAbsent(bool absent) { device_->SetAbsent(absent); }
void SimCamera::SetStalled(bool stalled) { device_->SetStalled(stalled); }
std::uint64_t SimCamera::RequestCount(DWORD code) const { return device_->RequestCount(code); }
void SimCamera::ResetRequestCounts() { device_->ResetRequestCounts(); }

SimCamera& Install() {
  static const std::shared_ptr<Device> device = std::make_shared<Device>();
  static SimCamera camera(device);
  platform::RegisterDevice(kDeviceName, device);
  return camera;
}

}  // namespace simcam
