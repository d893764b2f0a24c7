// The settings dialog's Statistic tab: the statistics interval and the
// fifteen read-outs the controller fills at every statistics tick.
#include "APP/forms/fmSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdint>
#include <iterator>

#include "common/ControlFactories.h"
#include "common/Format.h"
#include "common/TextWidths.h"

namespace {

// Statistics choices and their intervals in seconds (0 switches off).
const QStringList StatisticsItems = {"Disable", "1 sec", "2 sec", "3 sec", "5 sec", "10 sec"};
constexpr std::int32_t StatisticsSeconds[] = {0, 1, 2, 3, 5, 10};

// The statistics read-outs: label, edit, unit.
struct StatisticsDesign {
  const char* label;
  const char* edit;
  const char* unit;
};
constexpr StatisticsDesign StatisticsLeft[] = {
    {"Packet count", "ePacketCount", ""},         {"Packet lost", "ePacketLost", ""},
    {"Packet errors", "ePacketError", ""},        {"Frame count", "eFrameCount", ""},
    {"Frame resync", "eFrameResync", ""},         {"Frame user", "eFrameUser", ""},
    {"Control packet send", "eControlSet", ""},   {"Control packet recv", "eControlGet", ""},
    {"Control packet error", "eControlError", ""}};
constexpr StatisticsDesign StatisticsRight[] = {
    {"Interval", "eInterval", "sec"},      {"Speed", "eSpeedMbytes", "Mbytes/sec"},
    {"Speed", "eSpeedMbits", "Mbits/sec"}, {"Driver fps", "eFPS", ""},
    {"Camera fps", "eFPSCalc", ""},        {"User fps", "eFPSUser", ""}};

}  // namespace

void TSettingsForm::CreateStatisticTab() {
  auto* page = new QVBoxLayout(tsStatistic);
  QGroupBox* information = MakeGroup(tsStatistic, "gbInformation", QStringLiteral(" Information "));
  page->addWidget(information);
  auto* grid = new QGridLayout(information);
  grid->setVerticalSpacing(1);
  cbStatistics = MakeComboBox(information, "cbStatistics", StatisticsItems, 0);
  btReset = MakeButton(information, "btReset", QStringLiteral("Reset"));
  grid->addWidget(cbStatistics, 0, 0, 1, 2);
  grid->addWidget(btReset, 0, 3, 1, 2);
  auto addColumn = [&](const auto& designs, int column) {
    int row = 1;
    for (const StatisticsDesign& d : designs) {
      QLineEdit* edit = MakeEdit(information, d.edit, QString(), true);
      statistics_.insert(QLatin1String(d.edit), edit);
      grid->addWidget(new QLabel(QLatin1String(d.label), information), row, column);
      grid->addWidget(edit, row, column + 1);
      if (*d.unit != '\0')
        grid->addWidget(new QLabel(QLatin1String(d.unit), information), row, column + 2);
      ++row;
    }
  };
  addColumn(StatisticsLeft, 0);
  addColumn(StatisticsRight, 3);
  page->addStretch();
  // Room for the widest values: a full 32-bit count, a rate with 3 decimals.
  for (const StatisticsDesign& d : StatisticsLeft)
    FitMinimumWidth(statistics_.value(QLatin1String(d.edit)), 0, {FormatText("%u", UINT32_MAX)});
  for (const StatisticsDesign& d : StatisticsRight)
    FitMinimumWidth(statistics_.value(QLatin1String(d.edit)), 0, {QStringLiteral("99999.999")});
}

void TSettingsForm::ConnectStatisticHandlers() {
  connect(cbStatistics, &QComboBox::activated, this, &TSettingsForm::cbStatisticsChange);
  connect(btReset, &QPushButton::clicked, this, &TSettingsForm::btResetClick);
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::cbStatisticsChange() {
  const int index = cbStatistics->currentIndex();
  if (index >= 0 && index < static_cast<int>(std::size(StatisticsSeconds)))
    AppCommand->SetStatisticsInterval(StatisticsSeconds[index]);
}

void TSettingsForm::btResetClick() { AppCommand->ResetStatistics(); }
