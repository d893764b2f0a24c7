// Controller operations of features that are not built yet: single frames
// and the clipboard, the colour-correction tool, AVI and RAW capture, the
// trigger input display, register sets, white balance and the correction
// selection. They do nothing for now, so that the forms can already be wired
// to them; each one moves to the unit of its feature when that is built.
#include "Commands.h"

void TAppCommand::SaveFrame() {}
void TAppCommand::CopyFrame() {}
void TAppCommand::CalibrateColors() {}
void TAppCommand::SaveFrameFile(std::int32_t& /*counter*/, std::int32_t /*format*/,
                                const std::uint8_t* /*picture*/, std::int32_t /*width*/,
                                std::int32_t /*height*/) {}
bool TAppCommand::CopyBitmapToClipboard(std::int32_t /*width*/, std::int32_t /*height*/,
                                        const std::uint8_t* /*picture*/,
                                        const TBitmapInfo& /*bitmapInfo*/) {
  return false;
}
void TAppCommand::RunCorrectionTool(const std::uint8_t* /*picture*/, std::int32_t /*width*/,
                                    std::int32_t /*height*/) {}
void TAppCommand::SetCorrectionMatrix(const double* /*matrix*/) {}

void TAppCommand::SaveVideo() {}

void TAppCommand::SetTrigger(bool /*extSync*/, bool /*out1High*/, bool /*out2High*/,
                             bool /*out1Enabled*/, bool /*out2Enabled*/) {}
void TAppCommand::SetTriggerMode(bool /*on*/) {}
void TAppCommand::PollExternalInputs() {}
void TAppCommand::GetRegisterSets(QStringList& /*list*/) {}
void TAppCommand::LoadRegisterSet(const QString& /*name*/) {}
void TAppCommand::WhiteBalance() {}
void TAppCommand::AutoWhiteBalance(const void* /*raw*/, std::int32_t /*width*/,
                                   std::int32_t /*height*/, std::int32_t /*bits*/) {}
void TAppCommand::WhiteBalanceAuto() {}
void TAppCommand::WhiteBalanceLock() {}
void TAppCommand::WhiteBalanceDisable() {}
void TAppCommand::SetImageCorrection(std::int32_t /*kind*/) {}
void TAppCommand::SetHSLCorrection(double /*hue*/, double /*saturation*/, double /*lightness*/) {}
