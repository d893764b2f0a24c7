// The settings dialog's Advanced tab: demosaicing, the camera's median
// filter, gamma, black level, frame wait timeout, colour enhancement and
// white balance, and the program's own colour correction.
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

#include <cmath>
#include <tuple>

#include "common/ControlFactories.h"
#include "common/DoubleClick.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/RadioGroup.h"
#include "common/TextWidths.h"
#include "imaging/debayer.h"

namespace {

// The frame read waits this long at most in the GUI thread.
constexpr double MaxFrameWaitSeconds = 60.0;

}  // namespace

void TSettingsForm::CreateAdvancedTab() {
  auto* page = new QGridLayout(tsAdvanced);

  rgDebayer = Named(new TRadioGroup(QStringLiteral(" Debayer algorithm "),
                                    {"Mono", "Bayer", "Nearest", "Bin 2x2", "Bilinear",
                                     "Adaptive bilinear", "Laplacian", "Preview"},
                                    tsAdvanced),
                    "rgDebayer");
  rgDebayer->SetItemIndex(0);
  rgMedianFilter = Named(new TRadioGroup(QStringLiteral(" Median filter "),
                                         {"Disable", "Type 1", "Type 2"}, tsAdvanced),
                         "rgMedianFilter");
  rgMedianFilter->SetItemIndex(0);

  gbImageCorrection =
      MakeGroup(tsAdvanced, "gbImageCorrection", QStringLiteral(" Software image correction "));
  cbImgCorrectionSelect =
      MakeComboBox(gbImageCorrection, "cbImgCorrectionSelect", {"None", "HSL", "Matrix"}, 0);
  tbHue = MakeTrackBar(gbImageCorrection, "tbHue", Qt::Horizontal, -1800, 1800, 0);
  lbHue = MakeLabel(gbImageCorrection, "lbHue", QStringLiteral("Hue"));
  lbHueValue = MakeLabel(gbImageCorrection, "lbHueValue", QStringLiteral("0.0"));
  tbLightless = MakeTrackBar(gbImageCorrection, "tbLightless", Qt::Horizontal, 1, 200, 100);
  lbLightless = MakeLabel(gbImageCorrection, "lbLightless", QStringLiteral("Lightless"));
  lbLightlessValue = MakeLabel(gbImageCorrection, "lbLightlessValue", QStringLiteral("1.00"));
  tbSaturation = MakeTrackBar(gbImageCorrection, "tbSaturation", Qt::Horizontal, 1, 400, 100);
  lbSaturation = MakeLabel(gbImageCorrection, "lbSaturation", QStringLiteral("Saturation"));
  lbSaturationValue = MakeLabel(gbImageCorrection, "lbSaturationValue", QStringLiteral("1.00"));
  btImageCorrectionDefault =
      MakeButton(gbImageCorrection, "btImageCorrectionDefault", QStringLiteral("Default"));
  btImgCorrectionCalibrate =
      MakeButton(gbImageCorrection, "btImgCorrectionCalibrate", QStringLiteral("Calibrate"));
  auto* correction = new QGridLayout(gbImageCorrection);
  correction->setVerticalSpacing(0);
  correction->addWidget(cbImgCorrectionSelect, 0, 0, 1, 3);
  int row = 1;
  for (auto [label, bar, value] : {std::tuple{lbHue, tbHue, lbHueValue},
                                   std::tuple{lbLightless, tbLightless, lbLightlessValue},
                                   std::tuple{lbSaturation, tbSaturation, lbSaturationValue}}) {
    correction->addWidget(label, row, 0);
    correction->addWidget(bar, row, 1);
    correction->addWidget(value, row, 2);
    ++row;
  }
  correction->addWidget(btImageCorrectionDefault, row, 0);
  correction->addWidget(btImgCorrectionCalibrate, row, 1, 1, 2);

  QGroupBox* gamma =
      MakeGroup(tsAdvanced, "gbGammaCorrection", QStringLiteral(" Hardware gamma correction "));
  cbGammaCorrection =
      MakeCheckBox(gamma, "cbGammaCorrection", QStringLiteral("Enable gamma correction"), false);
  (new QVBoxLayout(gamma))->addWidget(cbGammaCorrection);

  QGroupBox* black = MakeGroup(tsAdvanced, "gbBlackLevel", QStringLiteral(" Black level "));
  cbAutoBlackLevel = MakeCheckBox(black, "cbAutoBlackLevel", QStringLiteral("Auto"), true);
  tbBlackLevel = MakeTrackBar(black, "tbBlackLevel", Qt::Vertical, 0, 255, 255);
  tbBlackLevel->setEnabled(false);
  lbBlackLevel = MakeLabel(black, "lbBlackLevel", QStringLiteral("0.600 V"));
  auto* blackColumn = new QVBoxLayout(black);
  blackColumn->addWidget(cbAutoBlackLevel);
  blackColumn->addWidget(tbBlackLevel, 1, Qt::AlignHCenter);
  blackColumn->addWidget(lbBlackLevel, 0, Qt::AlignHCenter);

  QGroupBox* wait =
      MakeGroup(tsAdvanced, "gbFrameWaitTimeout", QStringLiteral(" Frame wait timeout "));
  edFrameWaitTimeout = MakeEdit(wait, "edFrameWaitTimeout", QStringLiteral("5"), false);
  FitMinimumWidth(edFrameWaitTimeout, 0, {FormatFloat("%.3f", MaxFrameWaitSeconds)});
  btFrameWaitTimeout = MakeButton(wait, "btFrameWaitTimeout", QStringLiteral("Set"));
  auto* waitRow = new QHBoxLayout(wait);
  waitRow->addWidget(edFrameWaitTimeout);
  waitRow->addWidget(MakeLabel(wait, "lbFrameWaitTimeoutUnit", QStringLiteral("sec")));
  waitRow->addWidget(btFrameWaitTimeout);

  gbColorEnhancement =
      MakeGroup(tsAdvanced, "gbColorEnhancement", QStringLiteral(" Color enhancement "));
  tbColorEnh = MakeTrackBar(gbColorEnhancement, "tbColorEnh", Qt::Horizontal, 0, 128, 64);
  edColorEnh = MakeEdit(gbColorEnhancement, "edColorEnh", QStringLiteral("1.000"), true);
  auto* enhancementRow = new QHBoxLayout(gbColorEnhancement);
  enhancementRow->addWidget(tbColorEnh);
  enhancementRow->addWidget(edColorEnh);

  QGroupBox* balance = MakeGroup(tsAdvanced, "gbWhiteBalance", QStringLiteral(" White balance "));
  bWhiteBalanceAuto = MakeButton(balance, "bWhiteBalanceAuto", QStringLiteral("Auto"));
  bWhiteBalanceLock = MakeButton(balance, "bWhiteBalanceLock", QStringLiteral("Lock"));
  bWhiteBalanceDisable = MakeButton(balance, "bWhiteBalanceDisable", QStringLiteral("Disable"));
  auto* balanceRow = new QHBoxLayout(balance);
  balanceRow->addWidget(bWhiteBalanceAuto);
  balanceRow->addWidget(bWhiteBalanceLock);
  balanceRow->addWidget(bWhiteBalanceDisable);

  auto* left = new QVBoxLayout;
  left->addWidget(rgDebayer);
  left->addWidget(rgMedianFilter);
  auto* middle = new QVBoxLayout;
  middle->addWidget(wait);
  middle->addWidget(gbColorEnhancement);
  middle->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(gamma);
  bottom->addWidget(balance, 1);
  page->addLayout(left, 0, 0, 2, 1);
  page->addWidget(gbImageCorrection, 0, 1, 1, 2);
  page->addLayout(middle, 1, 1);
  page->addWidget(black, 1, 2);
  page->addLayout(bottom, 2, 0, 1, 3);
  page->setColumnStretch(1, 1);
}

void TSettingsForm::ConnectAdvancedHandlers() {
  connect(rgDebayer, &TRadioGroup::Click, this, &TSettingsForm::rgDebayerClick);
  connect(rgMedianFilter, &TRadioGroup::Click, this, &TSettingsForm::rgMedianFilterClick);
  connect(cbImgCorrectionSelect, &QComboBox::activated, this,
          &TSettingsForm::cbImgCorrectionSelectChange);
  connect(tbHue, &QSlider::valueChanged, this, &TSettingsForm::tbHueChange);
  connect(tbLightless, &QSlider::valueChanged, this, &TSettingsForm::tbLightlessChange);
  connect(tbSaturation, &QSlider::valueChanged, this, &TSettingsForm::tbSaturationChange);
  connect(btImageCorrectionDefault, &QPushButton::clicked, this,
          &TSettingsForm::btImageCorrectionDefaultClick);
  OnDoubleClick(gbImageCorrection, [this] { gbImageCorrectionDblClick(); });
  OnDoubleClick(lbHue, [this] { lbHueDblClick(); });
  OnDoubleClick(lbLightless, [this] { lbLightlessDblClick(); });
  OnDoubleClick(lbSaturation, [this] { lbSaturationDblClick(); });
  connect(btImgCorrectionCalibrate, &QPushButton::clicked, this,
          &TSettingsForm::btImgCorrectionCalibrateClick);
  connect(cbGammaCorrection, &QCheckBox::toggled, this, &TSettingsForm::cbGammaCorrectionClick);
  connect(cbAutoBlackLevel, &QCheckBox::toggled, this, &TSettingsForm::cbAutoBlackLevelClick);
  connect(tbBlackLevel, &QSlider::valueChanged, this, &TSettingsForm::tbBlackLevelChange);
  connect(btFrameWaitTimeout, &QPushButton::clicked, this, &TSettingsForm::btFrameWaitTimeoutClick);
  connect(tbColorEnh, &QSlider::valueChanged, this, &TSettingsForm::tbColorEnhChange);
  OnDoubleClick(gbColorEnhancement, [this] { gbColorEnhancementDblClick(); });
  connect(bWhiteBalanceAuto, &QPushButton::clicked, this, &TSettingsForm::bWhiteBalanceAutoClick);
  connect(bWhiteBalanceLock, &QPushButton::clicked, this, &TSettingsForm::bWhiteBalanceLockClick);
  connect(bWhiteBalanceDisable, &QPushButton::clicked, this,
          &TSettingsForm::bWhiteBalanceDisableClick);
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::rgDebayerClick() {
  const int index = rgDebayer->ItemIndex();
  if (index >= DEBAYER_MONO && index <= DEBAYER_PREVIEW) AppCommand->SetDebayerMode(index);
}

void TSettingsForm::rgMedianFilterClick() {
  AppCommand->SetMedianFilter(rgMedianFilter->ItemIndex());
}

void TSettingsForm::cbImgCorrectionSelectChange() {
  AppCommand->SetImageCorrection(cbImgCorrectionSelect->currentIndex());
}

void TSettingsForm::ApplyHSLCorrection() {
  const double hue = tbHue->value() / 10.0;
  const double lightness = tbLightless->value() / 100.0;
  const double saturation = tbSaturation->value() / 100.0;
  lbHueValue->setText(FormatFloat("%.1f", hue));
  lbLightlessValue->setText(FormatFloat("%.2f", lightness));
  lbSaturationValue->setText(FormatFloat("%.2f", saturation));
  AppCommand->SetHSLCorrection(hue, saturation, lightness);
}

void TSettingsForm::tbHueChange() { ApplyHSLCorrection(); }
void TSettingsForm::tbLightlessChange() { ApplyHSLCorrection(); }
void TSettingsForm::tbSaturationChange() { ApplyHSLCorrection(); }

// The neutral correction: no hue shift, lightness and saturation factors 1.
void TSettingsForm::btImageCorrectionDefaultClick() {
  lbHueDblClick();
  lbLightlessDblClick();
  lbSaturationDblClick();
}

void TSettingsForm::gbImageCorrectionDblClick() { btImageCorrectionDefaultClick(); }
void TSettingsForm::lbHueDblClick() { tbHue->setValue(0); }
void TSettingsForm::lbLightlessDblClick() { tbLightless->setValue(100); }
void TSettingsForm::lbSaturationDblClick() { tbSaturation->setValue(100); }

void TSettingsForm::btImgCorrectionCalibrateClick() { AppCommand->CalibrateColors(); }

void TSettingsForm::cbGammaCorrectionClick() {
  CameraDevice->SetGammaCorrection(cbGammaCorrection->isChecked());
}

void TSettingsForm::cbAutoBlackLevelClick() {
  if (cbAutoBlackLevel->isChecked()) {
    tbBlackLevel->setEnabled(false);
    CameraDevice->SetBlackLevelStatus(true);
    return;
  }
  CameraDevice->SetBlackLevelStatus(false);
  tbBlackLevel->setEnabled(true);
  // The position change sends the level back to the camera.
  tbBlackLevel->setValue(255 - CameraDevice->GetBlackLevelValue());
}

void TSettingsForm::tbBlackLevelChange() {
  const int level = 255 - tbBlackLevel->value();
  CameraDevice->SetBlackLevelValue(static_cast<std::uint8_t>(level));
  lbBlackLevel->setText(FormatFloat("%.3f V", level * 1.2 / 255 + 0.6));
}

void TSettingsForm::btFrameWaitTimeoutClick() {
  const QString text = edFrameWaitTimeout->text();
  double seconds = 0.0;
  // The frame read blocks the GUI thread for up to this long.
  if (!ParseReal(text, seconds) || seconds < 0.0 || seconds > MaxFrameWaitSeconds) {
    ShowErrorMessage(NotARealText(text));
    return;
  }
  auto ms = static_cast<std::int32_t>(std::nearbyint(seconds * 1000));
  AppCommand->SetFrameWaitTimeout(ms);
  edFrameWaitTimeout->setText(FormatFloat("%.3f", ms / 1000.0));
}

void TSettingsForm::tbColorEnhChange() {
  double factor = 0.0;
  AppCommand->SetColorEnhancement(tbColorEnh->value(), factor);
  edColorEnh->setText(FormatFloat("%.3f", factor));
}

void TSettingsForm::gbColorEnhancementDblClick() { tbColorEnh->setValue(64); }

void TSettingsForm::bWhiteBalanceAutoClick() { AppCommand->WhiteBalanceAuto(); }
void TSettingsForm::bWhiteBalanceLockClick() { AppCommand->WhiteBalanceLock(); }
void TSettingsForm::bWhiteBalanceDisableClick() { AppCommand->WhiteBalanceDisable(); }
