// Playback and export entry points of the main form that are not built yet:
// the playback thread, the AVI writer, the clipboard and BMP files. The
// render already calls them at the right steps; each moves to its own unit
// when that is built.
#include "MainForm.h"

void TAppForm::StartPlayback() {}
void TAppForm::StopPlayback() {}
void TAppForm::mSaveAVIClick() {}
void TAppForm::WriteAVIFrame(const std::uint8_t* /*image*/, std::uint32_t /*bytes*/) {}

bool TAppForm::CopyFrameToClipboard(std::int32_t /*width*/, std::int32_t /*height*/,
                                    const std::uint8_t* /*image*/, const TBitmapInfo& /*info*/) {
  return true;
}

bool TAppForm::SaveFrameBMP(const std::uint8_t* /*image*/, std::int32_t /*width*/,
                            std::int32_t /*height*/) {
  return false;
}
