// The settings dialog's Trigger tab: the camera's external synchronisation,
// its two general-purpose outputs and the shown state of its two inputs.
#include "APP/forms/fmSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

#include "common/ControlFactories.h"

void TSettingsForm::CreateTriggerTab() {
  auto* page = new QVBoxLayout(tsTrigger);
  QGroupBox* trigger =
      MakeGroup(tsTrigger, "gbExternalTrigger", QStringLiteral(" External trigger "));
  auto* triggerColumn = new QVBoxLayout(trigger);
  page->addWidget(trigger);
  page->addStretch();

  QGroupBox* input = MakeGroup(trigger, "gbExternalInput", QStringLiteral(" External input "));
  cbEnableExternalSyncronization =
      MakeCheckBox(input, "cbEnableExternalSyncronization",
                   QStringLiteral("Enable external syncronization"), false);
  cbExternalInput1Status = MakeCheckBox(input, "cbExternalInput1Status",
                                        QStringLiteral("External input1 status"), false);
  cbExternalInput2Status = MakeCheckBox(input, "cbExternalInput2Status",
                                        QStringLiteral("External input2 status"), false);
  cbSeeStatus = MakeCheckBox(input, "cbSeeStatus", QStringLiteral("Enable see status"), false);
  // Shown state only: the trigger poll ticks them.
  for (QCheckBox* shown : {cbExternalInput1Status, cbExternalInput2Status}) {
    shown->setAttribute(Qt::WA_TransparentForMouseEvents);
    shown->setFocusPolicy(Qt::NoFocus);
  }
  auto* inputColumn = new QVBoxLayout(input);
  for (QCheckBox* box : {cbEnableExternalSyncronization, cbExternalInput1Status,
                         cbExternalInput2Status, cbSeeStatus})
    inputColumn->addWidget(box);
  triggerColumn->addWidget(input);

  // One group per output, each with its own pair of exclusive level buttons.
  auto makeOutput = [&](const char* groupName, const QString& caption, QCheckBox*& enable,
                        const char* enableName, const QString& enableCaption, QRadioButton*& high,
                        const char* highName, QRadioButton*& low, const char* lowName) {
    QGroupBox* group = MakeGroup(trigger, groupName, caption);
    enable = MakeCheckBox(group, enableName, enableCaption, true);
    high = MakeRadioButton(group, highName, QStringLiteral("High level"));
    low = MakeRadioButton(group, lowName, QStringLiteral("Low level"));
    high->setChecked(true);
    auto* levels = new QButtonGroup(group);
    levels->addButton(high);
    levels->addButton(low);
    auto* grid = new QGridLayout(group);
    grid->addWidget(enable, 0, 0, 1, 2);
    grid->addWidget(high, 1, 0);
    grid->addWidget(low, 1, 1);
    triggerColumn->addWidget(group);
  };
  makeOutput("gbExternalOutput", QStringLiteral(" External output "), cbOUT1, "cbOUT1",
             QStringLiteral("Enable general purpose output for OUT1 "), rbHighLevelOUT1,
             "rbHighLevelOUT1", rbLowLevelOUT1, "rbLowLevelOUT1");
  makeOutput("gbExternalOutput2", QString(), cbOUT2, "cbOUT2",
             QStringLiteral("Enable general purpose output for OUT2 "), rbHighLevelOUT2,
             "rbHighLevelOUT2", rbLowLevelOUT2, "rbLowLevelOUT2");
}

void TSettingsForm::ConnectTriggerHandlers() {
  connect(cbEnableExternalSyncronization, &QCheckBox::toggled, this,
          &TSettingsForm::cbEnableExternalSyncronizationClick);
  connect(cbOUT1, &QCheckBox::toggled, this, &TSettingsForm::cbOUT1Click);
  connect(cbOUT2, &QCheckBox::toggled, this, &TSettingsForm::cbOUT2Click);
  // Of two level buttons only the one that becomes selected sends.
  using Handler = void (TSettingsForm::*)();
  const std::pair<QRadioButton*, Handler> levels[] = {
      {rbHighLevelOUT1, &TSettingsForm::rbHighLevelOUT1Click},
      {rbLowLevelOUT1, &TSettingsForm::rbLowLevelOUT1Click},
      {rbHighLevelOUT2, &TSettingsForm::rbHighLevelOUT2Click},
      {rbLowLevelOUT2, &TSettingsForm::rbLowLevelOUT2Click}};
  for (const auto& [level, handler] : levels)
    connect(level, &QRadioButton::toggled, this, [this, h = handler](bool checked) {
      if (checked) (this->*h)();
    });
  connect(cbSeeStatus, &QCheckBox::toggled, this, &TSettingsForm::cbSeeStatusClick);
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::SendTrigger() {
  AppCommand->SetTrigger(cbEnableExternalSyncronization->isChecked(), rbHighLevelOUT1->isChecked(),
                         rbHighLevelOUT2->isChecked(), cbOUT1->isChecked(), cbOUT2->isChecked());
}

void TSettingsForm::cbEnableExternalSyncronizationClick() { SendTrigger(); }
void TSettingsForm::cbOUT1Click() { SendTrigger(); }
void TSettingsForm::cbOUT2Click() { SendTrigger(); }
void TSettingsForm::rbHighLevelOUT1Click() { SendTrigger(); }
void TSettingsForm::rbHighLevelOUT2Click() { SendTrigger(); }
void TSettingsForm::rbLowLevelOUT1Click() { SendTrigger(); }
void TSettingsForm::rbLowLevelOUT2Click() { SendTrigger(); }

void TSettingsForm::cbSeeStatusClick() { AppCommand->SetTriggerMode(cbSeeStatus->isChecked()); }
