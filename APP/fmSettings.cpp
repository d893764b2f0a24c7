#include "fmSettings.h"

#include <QFormLayout>

TSettingsForm* SettingsForm = nullptr;

namespace {
const char* const StatisticsEdits[] = {
    "ePacketCount", "ePacketLost", "ePacketError", "eFrameCount",  "eFrameResync",
    "eFrameUser",   "eControlSet", "eControlGet",  "eControlError", "eInterval",
    "eSpeedMbytes", "eSpeedMbits", "eFPS",         "eFPSCalc",     "eFPSUser"};
}  // namespace

TSettingsForm::TSettingsForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SettingsForm"));
  setWindowTitle(QStringLiteral("Settings"));
  auto* layout = new QFormLayout(this);
  edPath = new QLineEdit(QStringLiteral(".\\"), this);
  edPath->setObjectName(QStringLiteral("edPath"));
  edPath->setReadOnly(true);
  layout->addRow(edPath);
  for (const char* name : StatisticsEdits) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    layout->addRow(QLatin1String(name), edit);
  }
}

void TSettingsForm::FormCreate() {
  Updating = true;
  AppCommand->SettingsView = this;
  Updating = false;
}

void TSettingsForm::ShowNonModal() {
  show();
  raise();
  activateWindow();
}

bool TSettingsForm::IsShown() const { return isVisible(); }

void TSettingsForm::SetDialogEnabled(bool enabled) { setEnabled(enabled); }

void TSettingsForm::SetDebayerSelection(int mode) { debayerSelection_ = mode; }

int TSettingsForm::SaveImageMode() const { return 0; }

QString TSettingsForm::CapturePath() const { return edPath->text(); }

void TSettingsForm::SetStatisticsText(const QString& editName, const QString& text) {
  if (auto* edit = findChild<QLineEdit*>(editName)) edit->setText(text);
}

void TSettingsForm::SetExternalInputStatus(bool /*input1*/, bool /*input2*/) {}
