// The settings dialog's General tab: the camera's clock, output mode, frame
// rate, high-speed shutter, region, exposure, gain, register sets and
// inter-packet delay.
#include "APP/forms/fmSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "APP/forms/fmViewPort.h"
#include "common/ControlFactories.h"
#include "common/Dialogs.h"
#include "common/DoubleClick.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "imaging/streamformat.h"

namespace {

// Items of the clock list: the index is the camera's clock code (the 75 MHz
// entry stands before the 70 MHz entry).
const QStringList FrequencyItems = {"10 Mhz", "18 Mhz", "20 Mhz", "25 Mhz", "36 Mhz",
                                    "50 Mhz", "65 Mhz", "75 Mhz", "70 Mhz"};

// Items of the output-mode list: the stream formats in table order.
QStringList OutputModeItems() {
  QStringList items;
  for (const StreamFormatInfo& format : StreamFormats)
    items << QString::fromLatin1(format.outputModeName);
  return items;
}

}  // namespace

void TSettingsForm::CreateGeneralTab() {
  auto* page = new QGridLayout(tsGeneral);

  QGroupBox* frequency = MakeGroup(tsGeneral, "gbFrequency", QStringLiteral(" Frequency "));
  cbFrequency = MakeComboBox(frequency, "cbFrequency", FrequencyItems, 0);
  (new QVBoxLayout(frequency))->addWidget(cbFrequency);

  QGroupBox* output = MakeGroup(tsGeneral, "gbOutputMode", QStringLiteral(" Output Mode "));
  cbOutputMode = MakeComboBox(output, "cbOutputMode", OutputModeItems(), 2);
  (new QVBoxLayout(output))->addWidget(cbOutputMode);

  QGroupBox* rate = MakeGroup(tsGeneral, "gbFrameRate", QStringLiteral(" Frame Rate "));
  edFrameRate = MakeEdit(rate, "edFrameRate", QStringLiteral("0000.00"), false);
  btFrameRate = MakeButton(rate, "btFrameRate", QStringLiteral("Set"));
  auto* rateRow = new QHBoxLayout(rate);
  rateRow->addWidget(edFrameRate);
  rateRow->addWidget(MakeLabel(rate, "lbFps", QStringLiteral("fps")));
  rateRow->addWidget(btFrameRate);

  cbSDRAM = MakeCheckBox(tsGeneral, "cbSDRAM", QStringLiteral("High speed shutter mode"), false);

  QGroupBox* viewport = MakeGroup(tsGeneral, "gbViewport", QStringLiteral(" Viewport "));
  QLabel* viewportCaption = MakeLabel(viewport, "lbViewPort", QStringLiteral("Viewport"));
  QFont bold = viewportCaption->font();
  bold.setBold(true);
  viewportCaption->setFont(bold);
  lbViewPortValue = MakeLabel(viewport, "lbViewPortValue", QStringLiteral("0x0 at 0x0"));
  btViewport = MakeButton(viewport, "btViewport", QStringLiteral("Settings..."));
  auto* viewportGrid = new QGridLayout(viewport);
  viewportGrid->addWidget(viewportCaption, 0, 0);
  viewportGrid->addWidget(lbViewPortValue, 1, 0);
  viewportGrid->addWidget(btViewport, 0, 1, 2, 1);

  QGroupBox* exposure = MakeGroup(tsGeneral, "gbExposure", QStringLiteral(" Exposure "));
  tbExposure = MakeTrackBar(exposure, "tbExposure", Qt::Vertical, 0, 1920, 1920);
  lbExposure = MakeLabel(exposure, "lbExposure", QStringLiteral("999.999 ms"));
  auto* exposureColumn = new QVBoxLayout(exposure);
  exposureColumn->addWidget(tbExposure, 1, Qt::AlignHCenter);
  exposureColumn->addWidget(lbExposure, 0, Qt::AlignHCenter);

  QGroupBox* gain = MakeGroup(tsGeneral, "gbGain", QStringLiteral(" Gain "));
  tbGain = MakeTrackBar(gain, "tbGain", Qt::Vertical, -4000, 3500, 0);
  lbTotalGainValue = MakeLabel(gain, "lbTotalGainValue", QStringLiteral("-99.999 dB"));
  auto* gainColumn = new QVBoxLayout(gain);
  gainColumn->addWidget(tbGain, 1, Qt::AlignHCenter);
  gainColumn->addWidget(lbTotalGainValue, 0, Qt::AlignHCenter);

  QGroupBox* presets = MakeGroup(tsGeneral, "gbPresets", QStringLiteral(" Presets "));
  cbPresets = MakeComboBox(presets, "cbPresets", {QStringLiteral("[default]")}, 0);
  (new QVBoxLayout(presets))->addWidget(cbPresets);

  gbInterPacketDelay =
      MakeGroup(tsGeneral, "gbInterPacketDelay", QStringLiteral(" InterPacket Delay "));
  tbInterPacketDelay =
      MakeTrackBar(gbInterPacketDelay, "tbInterPacketDelay", Qt::Horizontal, 0, 65535, 0);
  edOutputDataBandwith =
      MakeEdit(gbInterPacketDelay, "edOutputDataBandwith", QStringLiteral("0000.00"), true);
  auto* delayGrid = new QGridLayout(gbInterPacketDelay);
  delayGrid->addWidget(tbInterPacketDelay, 0, 0, 1, 3);
  delayGrid->addWidget(MakeLabel(gbInterPacketDelay, "lbOutputDataBandwith",
                                 QStringLiteral("Output data bandwith:")),
                       1, 0);
  delayGrid->addWidget(edOutputDataBandwith, 1, 1);
  delayGrid->addWidget(MakeLabel(gbInterPacketDelay, "lbMBytePerSec", QStringLiteral("MByte/sec")),
                       1, 2);

  auto* left = new QGridLayout;
  left->addWidget(frequency, 0, 0);
  left->addWidget(output, 0, 1);
  left->addWidget(rate, 1, 0, 1, 2);
  left->addWidget(cbSDRAM, 2, 0, 1, 2);
  left->addWidget(viewport, 3, 0, 1, 2);
  left->addWidget(presets, 4, 0, 1, 2);
  left->setRowStretch(5, 1);
  page->addLayout(left, 0, 0);
  page->addWidget(exposure, 0, 1);
  page->addWidget(gain, 0, 2);
  page->addWidget(gbInterPacketDelay, 1, 0, 1, 3);
}

void TSettingsForm::ConnectGeneralHandlers() {
  connect(cbFrequency, &QComboBox::activated, this, &TSettingsForm::cbFrequencyChange);
  connect(cbOutputMode, &QComboBox::activated, this, &TSettingsForm::cbOutputModeChange);
  connect(btFrameRate, &QPushButton::clicked, this, &TSettingsForm::btFrameRateClick);
  connect(cbSDRAM, &QCheckBox::toggled, this, &TSettingsForm::cbSDRAMClick);
  connect(btViewport, &QPushButton::clicked, this, &TSettingsForm::btViewportClick);
  connect(tbExposure, &QSlider::valueChanged, this, &TSettingsForm::tbExposureChange);
  OnDoubleClick(lbExposure, [this] { lbExposureDblClick(); });
  connect(tbGain, &QSlider::valueChanged, this, &TSettingsForm::tbGainChange);
  OnDoubleClick(lbTotalGainValue, [this] { lbTotalGainValueDblClick(); });
  connect(cbPresets, &QComboBox::activated, this, &TSettingsForm::cbPresetsChange);
  connect(tbInterPacketDelay, &QSlider::valueChanged, this,
          &TSettingsForm::tbInterPacketDelayChange);
  OnDoubleClick(gbInterPacketDelay, [this] { gbInterPacketDelayDblClick(); });
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::cbFrequencyChange() {
  AppCommand->SetFrequency(static_cast<std::uint32_t>(cbFrequency->currentIndex()));
  cbSDRAM->setChecked(false);
  UpdateExposure();
}

void TSettingsForm::cbOutputModeChange() {
  AppCommand->SetOutMode(cbOutputMode->currentIndex());
  cbSDRAM->setChecked(false);
}

void TSettingsForm::btFrameRateClick() {
  double fps = 0.0;
  if (!ParseReal(edFrameRate->text(), fps)) {
    ShowErrorMessage(NotARealText(edFrameRate->text()));
    return;
  }
  AppCommand->SetFrameRate(fps);
  edFrameRate->setText(FormatFloat("%.3f", AppCommand->GetFrameRate()));
}

void TSettingsForm::cbSDRAMClick() {
  AppCommand->SetSDRAM(cbSDRAM->isChecked());
  // A mode the camera refused clears the box again.
  cbSDRAM->setChecked(AppCommand->GetSDRAM());
}

void TSettingsForm::btViewportClick() {
  if (ViewPortForm == nullptr) return;
  // Above this dialog, which stays on top.
  OpenAbove(*ViewPortForm, this);
  ViewPortForm->show();
  ViewPortForm->raise();
  ViewPortForm->activateWindow();
}

void TSettingsForm::tbExposureChange() {
  AppCommand->SetExposure(static_cast<std::uint32_t>(tbExposure->maximum() - tbExposure->value()));
  UpdateExposure();
}

void TSettingsForm::lbExposureDblClick() { tbExposure->setValue(0); }

void TSettingsForm::tbGainChange() {
  CameraDevice->SetGain(-tbGain->value());
  ShowGain();
}

void TSettingsForm::lbTotalGainValueDblClick() { tbGain->setValue(0); }

void TSettingsForm::cbPresetsChange() { AppCommand->LoadRegisterSet(cbPresets->currentText()); }

void TSettingsForm::tbInterPacketDelayChange() {
  double rate = 0.0;
  AppCommand->SetInterPacketDelay(tbInterPacketDelay->value(), rate);
  edOutputDataBandwith->setText(FormatFloat("%.3f", rate));
}

void TSettingsForm::gbInterPacketDelayDblClick() { tbInterPacketDelay->setValue(0); }
