#include "APP/forms/fmSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "APP/forms/fmMain.h"
#include "common/ControlFactories.h"
#include "common/Dialogs.h"
#include "common/Format.h"
#include "common/RadioGroup.h"
#include "common/TrackBarBounds.h"

TSettingsForm* SettingsForm = nullptr;

namespace {

// Designed client size of the dialog.
constexpr int DesignClientWidth = 410;
constexpr int DesignClientHeight = 384;

// Sets a flag for the lifetime of the scope and clears it on every way out.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};

// A camera value as a track-bar position.
int ToPosition(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

// --- Construction -------------------------------------------------------------

TSettingsForm::TSettingsForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SettingsForm"));
  setWindowTitle(QStringLiteral("Settings"));
  setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);

  pgSettings = Named(new QTabWidget(this), "pgSettings");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pgSettings);
  tsApplication = MakeTab(pgSettings, "tsApplication", QStringLiteral("Application"));
  tsGeneral = MakeTab(pgSettings, "tsGeneral", QStringLiteral("General"));
  tsLookupTable = MakeTab(pgSettings, "tsLookupTable", QStringLiteral("Color correction"));
  tsAdvanced = MakeTab(pgSettings, "tsAdvanced", QStringLiteral("Advanced"));
  tsTrigger = MakeTab(pgSettings, "tsTrigger", QStringLiteral("Trigger"));
  tsStatistic = MakeTab(pgSettings, "tsStatistic", QStringLiteral("Statistic"));
  pgSettings->setCurrentWidget(tsApplication);

  CreateApplicationTab();
  CreateGeneralTab();
  CreateLookupTableTab();
  CreateAdvancedTab();
  CreateTriggerTab();
  CreateStatisticTab();
  CompactLayouts();
  // The designed size, or more where the font makes the texts wider.
  setFixedSize(QSize(DesignClientWidth, DesignClientHeight).expandedTo(minimumSizeHint()));
  // Handlers last: the design values above call nothing.
  ConnectHandlers();
  // Enter applies nothing: each group's values take effect through its own
  // "Set" button only. The dialog is hidden by its close box only.
  SetDialogKeys(*this, EscapeKey::Ignored);
}

// The designed dialog is small: tight margins and spacing everywhere, and
// all six tabs in one row.
void TSettingsForm::CompactLayouts() {
  for (QLayout* layout : findChildren<QLayout*>()) {
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
  }
  layout()->setContentsMargins(0, 0, 0, 0);
  pgSettings->setUsesScrollButtons(false);
  pgSettings->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 4px; }"));
}

// Each tab's file connects its own controls.
void TSettingsForm::ConnectHandlers() {
  ConnectApplicationHandlers();
  ConnectGeneralHandlers();
  ConnectLookupTableHandlers();
  ConnectAdvancedHandlers();
  ConnectTriggerHandlers();
  ConnectStatisticHandlers();
}

// --- Life -------------------------------------------------------------------------

void TSettingsForm::FormCreate() {
  // Set throughout, so that the preset load's exposure refresh reads
  // nothing; cleared on every way out.
  TFlagScope updating(Updating);
  AppCommand->SettingsView = this;
  for (int g = 0; g < LookupGroups; ++g) ShowLookupValues(g);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  const QString presetFile = StartUpPresetName();
  if (QFile::exists(presetFile))
    StartUpPresetRefused = LoadPresetFile(MainForm, presetFile) != TPresetLoad::Loaded;
}

bool TSettingsForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(event);
}

void TSettingsForm::FormActivate() { ReadCameraSettings(); }

void TSettingsForm::showEvent(QShowEvent* event) {
  // Placed at the centre of the main window when first shown.
  if (!placed_ && MainForm != nullptr) {
    placed_ = true;
    QRect frame = frameGeometry();
    frame.moveCenter(MainForm->frameGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

void TSettingsForm::ReadCameraSettings() {
  // After the controller's Done the camera is no longer read and the INI
  // file object is gone.
  if (AppCommand == nullptr || AppCommand->ShutDown || CameraDevice == nullptr) return;
  {
    const QSignalBlocker frequencyBlocker(cbFrequency);
    const QSignalBlocker outputBlocker(cbOutputMode);
    cbFrequency->setCurrentIndex(static_cast<int>(AppCommand->GetFrequency()));
    cbOutputMode->setCurrentIndex(AppCommand->GetOutMode());
  }
  UpdateExposure();
  ShowGain();

  QStringList sets;
  AppCommand->GetRegisterSets(sets);
  {
    const QSignalBlocker presetsBlocker(cbPresets);
    cbPresets->clear();
    cbPresets->addItems(sets);
    cbPresets->setCurrentIndex(-1);
    if (sets.isEmpty()) {
      // Once disabled, the box stays disabled for the run.
      cbPresets->addItem(QStringLiteral("[None]"));
      cbPresets->setCurrentIndex(0);
      cbPresets->setEnabled(false);
    }
  }

  double rate = 0.0;
  tbInterPacketDelay->setValue(AppCommand->GetInterPacketDelay(rate));
  edOutputDataBandwith->setText(FormatFloat("%.3f", rate));
  double factor = 0.0;
  tbColorEnh->setValue(AppCommand->GetColorEnhancement(factor));
  edColorEnh->setText(FormatFloat("%.3f", factor));
}

void TSettingsForm::UpdateExposure() {
  if (Updating) return;
  TFlagScope updating(Updating);
  std::uint32_t minimum = 0, maximum = 0, exposure = 0;
  double ms = 0.0;
  AppCommand->GetExposureInfo(minimum, maximum, exposure, ms);
  // The range and the position are set with the handler blocked: a bound
  // that moves past the old position would otherwise send a value nobody
  // chose (0, from the design range, on the first refresh). When the
  // position has then moved, the handler sends the exposure once; its own
  // refresh returns at once.
  const int before = tbExposure->value();
  {
    const QSignalBlocker quiet(tbExposure);
    SetTrackBarMin(tbExposure, ToPosition(minimum));
    SetTrackBarMax(tbExposure, ToPosition(maximum));
    tbExposure->setValue(ToPosition(static_cast<std::int64_t>(tbExposure->maximum()) - exposure));
  }
  if (tbExposure->value() != before) tbExposureChange();
  lbExposure->setText(FormatFloat("%.3f ms", ms));

  ViewPortRecord viewPort{};
  CameraDevice->GetViewPort(viewPort);
  lbViewPortValue->setText(FormatText(
      "%dx%d at %dx%d", static_cast<int>(viewPort.Width), static_cast<int>(viewPort.Height),
      static_cast<int>(viewPort.StartX), static_cast<int>(viewPort.StartY)));
  edFrameRate->setText(FormatFloat("%.3f", AppCommand->GetFrameRate()));
}

void TSettingsForm::ShowGain() {
  lbTotalGainValue->setText(FormatFloat("%.3f dB", CameraDevice->GetGain()));
}

// --- ISettingsView ----------------------------------------------------------------

void TSettingsForm::ShowNonModal() {
  show();
  raise();
  activateWindow();
}

bool TSettingsForm::IsShown() const { return isVisible(); }

void TSettingsForm::SetDialogEnabled(bool enabled) { setEnabled(enabled); }

void TSettingsForm::SetDebayerSelection(int mode) { rgDebayer->SetItemIndex(mode); }

int TSettingsForm::SaveImageMode() const { return rgSaveImageMode->ItemIndex(); }

QString TSettingsForm::CapturePath() const { return edPath->text(); }

void TSettingsForm::SetStatisticsText(const QString& editName, const QString& text) {
  if (QLineEdit* edit = statistics_.value(editName)) edit->setText(text);
}

void TSettingsForm::SetExternalInputStatus(bool input1, bool input2) {
  cbExternalInput1Status->setChecked(input1);
  cbExternalInput2Status->setChecked(input2);
}
