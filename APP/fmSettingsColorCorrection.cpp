// The settings dialog's Color correction tab: the camera's mono and colour
// lookup tables from brightness, contrast and gamma, and its predefined
// tables. The track bars only show values until a button sends them.
#include "fmSettings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <iterator>

#include "Format.h"
#include "VclControls.h"

namespace {

// The predefined lookup tables: "User" and the step lengths of the others.
const QStringList CvtTableItems = {"User", "1:1", "2:1", "4:1", "8:1", "16:1", "32:1"};
constexpr std::int32_t CvtTableSteps[] = {0, 1, 2, 4, 8, 16, 32};

// Lookup-table groups and rows: captions, names, caption colours, and the
// base of each row's value label, base^(p / 127).
struct LookupGroupDesign {
  const char* name;
  const char* caption;
  Qt::GlobalColor colour;
  const char* bars[3];
  const char* nameLabels[3];
  const char* valueLabels[3];
};
constexpr LookupGroupDesign LookupGroupDesigns[] = {
    {"gbMono", " Mono ", Qt::black,
     {"tbMonoBrightness", "tbMonoContrast", "tbMonoGamma"},
     {"lbMonoBrightness", "lbMonoContrast", "lbMonoGamma"},
     {"lbMonoBrightnessValue", "lbMonoContrastValue", "lbMonoGammaValue"}},
    {"gbRed", " Red ", Qt::red,
     {"tbRedBrightness", "tbRedContrast", "tbRedGamma"},
     {"lbRedBrightless", "lbRedContrast", "lbRedGamma"},
     {"lbRedBrightnessValue", "lbRedContrastValue", "lbRedGammaValue"}},
    {"gbGreen", " Green ", Qt::darkGreen,
     {"tbGreenBrightness", "tbGreenContrast", "tbGreenGamma"},
     {"lbGreenBrightness", "lbGreenContrast", "lbGreenGamma"},
     {"lbGreenBrightnessValue", "lbGreenContrastValue", "lbGreenGammaValue"}},
    {"gbBlue", " Blue ", Qt::blue,
     {"tbBlueBrightness", "tbBlueContrast", "tbBlueGamma"},
     {"lbBlueBrightness", "lbBlueContrast", "lbBlueGamma"},
     {"lbBlueBrightnessValue", "lbBlueContrastValue", "lbBlueGammaValue"}},
};
const char* const LookupRowCaptions[] = {"Brightness", "Contrast", "Gamma"};
constexpr double LookupRowBases[] = {2.0, 4.0, 3.0};
constexpr int LookupBarRange = 127;

}  // namespace

void TSettingsForm::CreateLookupTableTab() {
  auto* page = new QGridLayout(tsLookupTable);
  QSlider** named[LookupGroups][LookupRows] = {
      {&tbMonoBrightness, &tbMonoContrast, &tbMonoGamma},
      {&tbRedBrightness, &tbRedContrast, &tbRedGamma},
      {&tbGreenBrightness, &tbGreenContrast, &tbGreenGamma},
      {&tbBlueBrightness, &tbBlueContrast, &tbBlueGamma}};
  QGroupBox** groups[LookupGroups] = {&gbMono, &gbRed, &gbGreen, &gbBlue};
  for (int g = 0; g < LookupGroups; ++g) {
    const LookupGroupDesign& d = LookupGroupDesigns[g];
    QGroupBox* group = MakeGroup(tsLookupTable, d.name, QString::fromLatin1(d.caption));
    QPalette palette = group->palette();
    palette.setColor(QPalette::WindowText, d.colour);
    group->setPalette(palette);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(0);
    for (int r = 0; r < LookupRows; ++r) {
      QSlider* bar = MakeTrackBar(group, d.bars[r], Qt::Horizontal, -LookupBarRange,
                                  LookupBarRange, 0);
      QLabel* value = MakeLabel(group, d.valueLabels[r], QStringLiteral("1.00"));
      grid->addWidget(MakeLabel(group, d.nameLabels[r], QLatin1String(LookupRowCaptions[r])), r, 0);
      grid->addWidget(bar, r, 1);
      grid->addWidget(value, r, 2);
      lookupBars_[g][r] = *named[g][r] = bar;
      lookupValues_[g][r] = value;
    }
    *groups[g] = group;
    page->addWidget(group, g / 2, g % 2);
  }
  btMonoDefault = MakeButton(gbMono, "btMonoDefault", QStringLiteral("Default"));
  btMonoSet = MakeButton(gbMono, "btMonoSet", QStringLiteral("Set"));
  btWhiteBalance = MakeButton(gbRed, "btWhiteBalance", QStringLiteral("White Balance"));
  btRGBSet = MakeButton(gbRed, "btRGBSet", QStringLiteral("Set"));
  auto addButtons = [](QGroupBox* group, QPushButton* a, QPushButton* b) {
    auto* row = new QHBoxLayout;
    row->addWidget(a);
    row->addWidget(b);
    static_cast<QGridLayout*>(group->layout())->addLayout(row, LookupRows, 0, 1, 3);
  };
  addButtons(gbMono, btMonoDefault, btMonoSet);
  addButtons(gbRed, btWhiteBalance, btRGBSet);

  rgCvtTable = Named(new TRadioGroup(QStringLiteral(" Predefined "), CvtTableItems, tsLookupTable),
                     "rgCvtTable");
  rgCvtTable->SetItemIndex(0);
  page->addWidget(rgCvtTable, 2, 0, 1, 2);
}

void TSettingsForm::ConnectLookupTableHandlers() {
  QLabel* nameLabels[LookupGroups][LookupRows] = {};
  for (int g = 0; g < LookupGroups; ++g)
    for (int r = 0; r < LookupRows; ++r)
      nameLabels[g][r] = findChild<QLabel*>(QLatin1String(LookupGroupDesigns[g].nameLabels[r]));
  for (int r = 0; r < LookupRows; ++r)
    connect(lookupBars_[0][r], &QSlider::valueChanged, this, [this, r] { ShowMonoLookupValues(r); });
  for (int g = 1; g < LookupGroups; ++g)
    for (int r = 0; r < LookupRows; ++r)
      connect(lookupBars_[g][r], &QSlider::valueChanged, this, [this, g] { ShowLookupValues(g); });
  // Double-clicks reset without a camera call: a group its three bars, a
  // name or value label its one bar.
  QGroupBox* groups[LookupGroups] = {gbMono, gbRed, gbGreen, gbBlue};
  for (int g = 0; g < LookupGroups; ++g) {
    OnDoubleClick(groups[g], [this, g] { ResetLookupGroup(g); });
    for (int r = 0; r < LookupRows; ++r) {
      QSlider* bar = lookupBars_[g][r];
      OnDoubleClick(nameLabels[g][r], [bar] { bar->setValue(0); });
      OnDoubleClick(lookupValues_[g][r], [bar] { bar->setValue(0); });
    }
  }
  connect(btMonoSet, &QPushButton::clicked, this, &TSettingsForm::btMonoSetClick);
  connect(btRGBSet, &QPushButton::clicked, this, &TSettingsForm::btRGBSetClick);
  connect(btMonoDefault, &QPushButton::clicked, this, &TSettingsForm::btMonoDefaultClick);
  connect(btWhiteBalance, &QPushButton::clicked, this, &TSettingsForm::btWhiteBalanceClick);
  connect(rgCvtTable, &TRadioGroup::Click, this, &TSettingsForm::rgCvtTableClick);
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::ShowMonoLookupValues(int row) {
  for (int g = 1; g < LookupGroups; ++g) lookupBars_[g][row]->setValue(lookupBars_[0][row]->value());
  ShowLookupValues(0);
}

void TSettingsForm::ShowLookupValues(int group) {
  for (int r = 0; r < LookupRows; ++r) {
    const double p = lookupBars_[group][r]->value();
    lookupValues_[group][r]->setText(
        FormatFloat("%.2f", std::pow(LookupRowBases[r], p / LookupBarRange)));
  }
}

void TSettingsForm::ResetLookupGroup(int group) {
  for (int r = 0; r < LookupRows; ++r) lookupBars_[group][r]->setValue(0);
}

void TSettingsForm::SendColorLookupTable() {
  CameraDevice->SetColorLookupTable(tbRedBrightness->value(), tbRedContrast->value(),
                                    tbRedGamma->value(), tbGreenBrightness->value(),
                                    tbGreenContrast->value(), tbGreenGamma->value(),
                                    tbBlueBrightness->value(), tbBlueContrast->value(),
                                    tbBlueGamma->value());
}

void TSettingsForm::btMonoSetClick() {
  rgCvtTable->SetItemIndex(0);
  CameraDevice->SetMonoLookupTable(tbMonoBrightness->value(), tbMonoContrast->value(),
                                   tbMonoGamma->value());
}

void TSettingsForm::btRGBSetClick() {
  rgCvtTable->SetItemIndex(0);
  SendColorLookupTable();
}

void TSettingsForm::btMonoDefaultClick() {
  rgCvtTable->SetItemIndex(0);
  for (int g = 0; g < LookupGroups; ++g) ResetLookupGroup(g);
  CameraDevice->SetDefaultLookupTable();
}

void TSettingsForm::btWhiteBalanceClick() {
  rgCvtTable->SetItemIndex(0);
  AppCommand->WhiteBalance();
}

void TSettingsForm::rgCvtTableClick() {
  const int index = rgCvtTable->ItemIndex();
  if (index >= 1 && index < static_cast<int>(std::size(CvtTableSteps)))
    CameraDevice->SetPredefinedLookupTable(CvtTableSteps[index]);
}
