// The settings dialog's side of the preset files: the values its controls
// hold, and a checked preset applied to them, to the camera and to the
// controller.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <limits>

#include "APP/camera/Presets.h"
#include "APP/forms/fmSettings.h"
#include "common/Format.h"
#include "common/RadioGroup.h"
#include "common/TrackBarBounds.h"

namespace {

// A camera value as a track-bar bound.
int ToBound(std::uint32_t value) {
  return static_cast<int>(std::min<std::uint32_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

TPresetValues TSettingsForm::CollectPreset() const {
  TPresetValues v;
  v.CaptureFilePath = edPath->text();
  v.Gain = tbGain->value();
  // The exposure bar runs from the largest exposure at the top.
  v.ExpMin = static_cast<std::uint32_t>(tbExposure->minimum());
  v.ExpMax = static_cast<std::uint32_t>(tbExposure->maximum());
  v.Exposure = static_cast<std::uint32_t>(tbExposure->maximum() - tbExposure->value());
  v.Frequency = static_cast<std::uint32_t>(cbFrequency->currentIndex());
  v.OutMode = cbOutputMode->currentIndex();
  v.IPDelay = tbInterPacketDelay->value();
  v.BayerAlgIndex = rgDebayer->ItemIndex();
  v.SaveImageMode = rgSaveImageMode->ItemIndex();
  v.Gamma = cbGammaCorrection->isChecked();
  v.SDRAM = cbSDRAM->isChecked();
  v.UseEscKey = cbUnlimitedFrames->isChecked();
  v.Frames2Capture = eFrames->text();
  return v;
}

// Setting a track bar, check box or radio group runs its handler as a
// user's change would, so several settings reach the camera twice; setting
// a combo box runs none.
void TSettingsForm::ApplyPreset(const TPresetValues& v) {
  edPath->setText(v.CaptureFilePath);
  ApplyPresetOutputMode(v);
  CameraDevice->SetFrequency(v.Frequency);
  {
    const QSignalBlocker blocker(cbFrequency);
    cbFrequency->setCurrentIndex(static_cast<int>(v.Frequency));
  }
  ApplyPresetGain(v);
  ViewPortRecord viewPort = v.ViewPort;
  CameraDevice->UpdateViewPort(viewPort);
  AppCommand->SetZoom(v.ZoomValue);
  AppCommand->ShowZoom();
  cbGammaCorrection->setChecked(v.Gamma);
  CameraDevice->SetGammaCorrection(cbGammaCorrection->isChecked());
  // The high-speed mode goes off before the frame rate is set.
  AppCommand->SetSDRAM(false);
  ApplyPresetFrameRate(v);
  ApplyPresetInterPacketDelay(v);
  AppCommand->SetDebayerMode(v.BayerAlgIndex);
  rgSaveImageMode->SetItemIndex(v.SaveImageMode);
  ApplyPresetFrameLimit(v);
  ApplyPresetExposure(v);
  cbSDRAM->setChecked(v.SDRAM);
  AppCommand->SetSDRAM(v.SDRAM);
}

void TSettingsForm::ApplyPresetOutputMode(const TPresetValues& v) {
  {
    const QSignalBlocker blocker(cbOutputMode);
    cbOutputMode->setCurrentIndex(v.OutMode);
  }
  AppCommand->SetOutMode(cbOutputMode->currentIndex());
}

void TSettingsForm::ApplyPresetGain(const TPresetValues& v) {
  // The track bar's range bounds the gain: a value beyond it would reach
  // the camera unchecked while the track bar shows its end (and the most
  // negative one cannot even be negated).
  const int gain = std::clamp(v.Gain, tbGain->minimum(), tbGain->maximum());
  CameraDevice->SetGain(-gain);
  tbGain->setValue(gain);
  ShowGain();
}

void TSettingsForm::ApplyPresetFrameRate(const TPresetValues& v) {
  edFrameRate->setText(FormatFloat("%.3f", v.FrameRate));
  AppCommand->SetFrameRate(v.FrameRate);
  // Until the next exposure refresh the field shows this placeholder.
  edFrameRate->setText(QStringLiteral("50.0"));
}

void TSettingsForm::ApplyPresetInterPacketDelay(const TPresetValues& v) {
  double rate = 0.0;
  AppCommand->SetInterPacketDelay(v.IPDelay, rate);
  tbInterPacketDelay->setValue(v.IPDelay);
  edOutputDataBandwith->setText(FormatFloat("%.3f", rate));
}

// Ticking the box sets the controller's limit to 0 through its handler. A
// limit in the field is applied as its "Set" would apply it, so that the
// next capture stops where the dialog says; a text that is no number
// leaves the limit as it was, without a message.
void TSettingsForm::ApplyPresetFrameLimit(const TPresetValues& v) {
  if (v.UseEscKey) {
    cbUnlimitedFrames->setChecked(true);
    eFrames->setText(QStringLiteral("0"));
    return;
  }
  cbUnlimitedFrames->setChecked(false);
  eFrames->setText(v.Frames2Capture);
  ApplyFrameLimit();
}

// The exposure goes to the camera once. The bar's range and position are
// then set with its handler blocked: a bound that moves past the old
// position would otherwise send an exposure nobody chose (0 when the
// maximum comes down first).
void TSettingsForm::ApplyPresetExposure(const TPresetValues& v) {
  AppCommand->SetExposure(v.Exposure);
  {
    const QSignalBlocker quiet(tbExposure);
    SetTrackBarMin(tbExposure, ToBound(v.ExpMin));
    SetTrackBarMax(tbExposure, ToBound(v.ExpMax));
    const std::int64_t position = static_cast<std::int64_t>(tbExposure->maximum()) - v.Exposure;
    tbExposure->setValue(
        static_cast<int>(std::max<std::int64_t>(position, std::numeric_limits<int>::min())));
  }
  UpdateExposure();
}
