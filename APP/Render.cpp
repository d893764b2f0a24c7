// Live picture: the frame thread's loop, grabbing, rendering, demosaicing
// mode and zoom. Placeholder until the render pipeline is built: nothing is
// grabbed or drawn yet.
#include "Commands.h"

void TFrameThread::Execute() {
  while (!Terminated()) Synchronize([this] { FrameThreadSync(); });
}

void TFrameThread::FrameThreadSync() {
  if (AppCommand != nullptr) AppCommand->GrabFrame();
}

bool TAppCommand::GrabFrame() { return false; }

bool TAppCommand::RenderFrame(std::uint32_t /*code*/, const std::uint8_t* /*raw*/,
                              std::uint32_t /*bytes*/, std::int32_t /*width*/,
                              std::int32_t /*height*/, std::int32_t /*mode*/) {
  return false;
}

void TAppCommand::SetDebayerMode(std::int32_t mode) { DebayerMode = mode; }
void TAppCommand::SetZoomPercent(std::int32_t /*percent*/) {}
void TAppCommand::ZoomIn() {}
void TAppCommand::ZoomOut() {}
std::int32_t TAppCommand::GetZoom() const { return Zoom; }
void TAppCommand::SetZoom(std::int32_t code) { Zoom = code; }
void TAppCommand::ShowZoom() {}
void TAppCommand::CenterVideoPanel() {}
