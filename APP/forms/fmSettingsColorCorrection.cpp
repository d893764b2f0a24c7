// The settings dialog's Color correction tab: the camera's mono and colour
// lookup tables from brightness, contrast and gamma, and its predefined
// tables. The track bars only show values until a button sends them.
#include "APP/forms/fmSettings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <iterator>

#include "common/ControlFactories.h"
#include "common/DoubleClick.h"
#include "common/Format.h"
#include "common/RadioGroup.h"

namespace {

// The predefined lookup tables: "User" and the step lengths of the others.
const QStringList CvtTableItems = {"User", "1:1", "2:1", "4:1", "8:1", "16:1", "32:1"};
constexpr std::int32_t CvtTableSteps[] = {0, 1, 2, 4, 8, 16, 32};

// Lookup-table groups and rows: captions, names, caption colours, the
// handlers of the bars, of their name and value labels' double-clicks and of
// the group's, and the base of each row's value label, base^(p / 127).
using Handler = void (TSettingsForm::*)();
struct LookupGroupDesign {
  const char* name;
  const char* caption;
  Qt::GlobalColor colour;
  const char* bars[3];
  const char* nameLabels[3];
  const char* valueLabels[3];
  Handler barChanged[3];
  Handler labelDblClick[3];
  Handler groupDblClick;
};
using F = TSettingsForm;
constexpr LookupGroupDesign LookupGroupDesigns[] = {
    {"gbMono",
     " Mono ",
     Qt::black,
     {"tbMonoBrightness", "tbMonoContrast", "tbMonoGamma"},
     {"lbMonoBrightness", "lbMonoContrast", "lbMonoGamma"},
     {"lbMonoBrightnessValue", "lbMonoContrastValue", "lbMonoGammaValue"},
     {&F::tbMonoBrightnessChange, &F::tbMonoContrastChange, &F::tbMonoGammaChange},
     {&F::lbMonoBrightnessDblClick, &F::lbMonoContrastDblClick, &F::lbMonoGammaDblClick},
     &F::gbMonoDblClick},
    {"gbRed",
     " Red ",
     Qt::red,
     {"tbRedBrightness", "tbRedContrast", "tbRedGamma"},
     {"lbRedBrightless", "lbRedContrast", "lbRedGamma"},
     {"lbRedBrightnessValue", "lbRedContrastValue", "lbRedGammaValue"},
     {&F::tbRedBrightnessChange, &F::tbRedContrastChange, &F::tbRedGammaChange},
     {&F::lbRedBrightlessDblClick, &F::lbRedContrastDblClick, &F::lbRedGammaDblClick},
     &F::gbRedDblClick},
    {"gbGreen",
     " Green ",
     Qt::darkGreen,
     {"tbGreenBrightness", "tbGreenContrast", "tbGreenGamma"},
     {"lbGreenBrightness", "lbGreenContrast", "lbGreenGamma"},
     {"lbGreenBrightnessValue", "lbGreenContrastValue", "lbGreenGammaValue"},
     {&F::tbGreenBrightnessChange, &F::tbGreenContrastChange, &F::tbGreenGammaChange},
     {&F::lbGreenBrightnessDblClick, &F::lbGreenContrastDblClick, &F::lbGreenGammaDblClick},
     &F::gbGreenDblClick},
    {"gbBlue",
     " Blue ",
     Qt::blue,
     {"tbBlueBrightness", "tbBlueContrast", "tbBlueGamma"},
     {"lbBlueBrightness", "lbBlueContrast", "lbBlueGamma"},
     {"lbBlueBrightnessValue", "lbBlueContrastValue", "lbBlueGammaValue"},
     {&F::tbBlueBrightnessChange, &F::tbBlueContrastChange, &F::tbBlueGammaChange},
     {&F::lbBlueBrightnessDblClick, &F::lbBlueContrastDblClick, &F::lbBlueGammaDblClick},
     &F::gbBlueDblClick},
};
// Indexes of the groups and rows above.
enum LookupGroup { Mono, Red, Green, Blue };
enum LookupRow { Brightness, Contrast, Gamma };
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
      QSlider* bar =
          MakeTrackBar(group, d.bars[r], Qt::Horizontal, -LookupBarRange, LookupBarRange, 0);
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
  // Double-clicks reset without a camera call: a group its three bars, a
  // name or value label its one bar.
  QGroupBox* groups[LookupGroups] = {gbMono, gbRed, gbGreen, gbBlue};
  for (int g = 0; g < LookupGroups; ++g) {
    const LookupGroupDesign& d = LookupGroupDesigns[g];
    OnDoubleClick(groups[g], [this, h = d.groupDblClick] { (this->*h)(); });
    for (int r = 0; r < LookupRows; ++r) {
      connect(lookupBars_[g][r], &QSlider::valueChanged, this, d.barChanged[r]);
      QLabel* name = findChild<QLabel*>(QLatin1String(d.nameLabels[r]));
      for (QLabel* label : {name, lookupValues_[g][r]})
        OnDoubleClick(label, [this, h = d.labelDblClick[r]] { (this->*h)(); });
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
  for (int g = Red; g < LookupGroups; ++g)
    lookupBars_[g][row]->setValue(lookupBars_[Mono][row]->value());
  ShowLookupValues(Mono);
}

void TSettingsForm::ShowLookupValues(int group) {
  for (int r = 0; r < LookupRows; ++r) {
    const double p = lookupBars_[group][r]->value();
    lookupValues_[group][r]->setText(
        FormatFloat("%.2f", std::pow(LookupRowBases[r], p / LookupBarRange)));
  }
}

void TSettingsForm::ShowRedLookupValues() { ShowLookupValues(Red); }
void TSettingsForm::ShowGreenLookupValues() { ShowLookupValues(Green); }
void TSettingsForm::ShowBlueLookupValues() { ShowLookupValues(Blue); }

void TSettingsForm::tbMonoBrightnessChange() { ShowMonoLookupValues(Brightness); }
void TSettingsForm::tbMonoContrastChange() { ShowMonoLookupValues(Contrast); }
void TSettingsForm::tbMonoGammaChange() { ShowMonoLookupValues(Gamma); }
void TSettingsForm::tbRedBrightnessChange() { ShowRedLookupValues(); }
void TSettingsForm::tbRedContrastChange() { ShowRedLookupValues(); }
void TSettingsForm::tbRedGammaChange() { ShowRedLookupValues(); }
void TSettingsForm::tbGreenBrightnessChange() { ShowGreenLookupValues(); }
void TSettingsForm::tbGreenContrastChange() { ShowGreenLookupValues(); }
void TSettingsForm::tbGreenGammaChange() { ShowGreenLookupValues(); }
void TSettingsForm::tbBlueBrightnessChange() { ShowBlueLookupValues(); }
void TSettingsForm::tbBlueContrastChange() { ShowBlueLookupValues(); }
void TSettingsForm::tbBlueGammaChange() { ShowBlueLookupValues(); }

void TSettingsForm::ResetLookupGroup(int group) {
  for (int r = 0; r < LookupRows; ++r) lookupBars_[group][r]->setValue(0);
}

void TSettingsForm::gbMonoDblClick() { ResetLookupGroup(Mono); }
void TSettingsForm::gbRedDblClick() { ResetLookupGroup(Red); }
void TSettingsForm::gbGreenDblClick() { ResetLookupGroup(Green); }
void TSettingsForm::gbBlueDblClick() { ResetLookupGroup(Blue); }

void TSettingsForm::lbMonoBrightnessDblClick() { tbMonoBrightness->setValue(0); }
void TSettingsForm::lbMonoContrastDblClick() { tbMonoContrast->setValue(0); }
void TSettingsForm::lbMonoGammaDblClick() { tbMonoGamma->setValue(0); }
void TSettingsForm::lbRedBrightlessDblClick() { tbRedBrightness->setValue(0); }
void TSettingsForm::lbRedContrastDblClick() { tbRedContrast->setValue(0); }
void TSettingsForm::lbRedGammaDblClick() { tbRedGamma->setValue(0); }
void TSettingsForm::lbGreenBrightnessDblClick() { tbGreenBrightness->setValue(0); }
void TSettingsForm::lbGreenContrastDblClick() { tbGreenContrast->setValue(0); }
void TSettingsForm::lbGreenGammaDblClick() { tbGreenGamma->setValue(0); }
void TSettingsForm::lbBlueBrightnessDblClick() { tbBlueBrightness->setValue(0); }
void TSettingsForm::lbBlueContrastDblClick() { tbBlueContrast->setValue(0); }
void TSettingsForm::lbBlueGammaDblClick() { tbBlueGamma->setValue(0); }

void TSettingsForm::SendColorLookupTable() {
  CameraDevice->SetColorLookupTable(
      tbRedBrightness->value(), tbRedContrast->value(), tbRedGamma->value(),
      tbGreenBrightness->value(), tbGreenContrast->value(), tbGreenGamma->value(),
      tbBlueBrightness->value(), tbBlueContrast->value(), tbBlueGamma->value());
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
