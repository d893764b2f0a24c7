#include "viewer/TSettingsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include "common/ControlFactories.h"
#include "common/Dialogs.h"
#include "common/FileDialogs.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "viewer/CurveTables.h"

TSettingsForm* SettingsForm = nullptr;

namespace {

constexpr int DesignClientWidth = 809;
constexpr int DesignClientHeight = 400;
// A page key moves a slider ten positions (the lookup and correction
// sliders span hundreds).
constexpr int SliderPageStep = 10;

const char* const ChannelNames[3] = {"Red", "Green", "Blue"};
const char* const CurveNames[3] = {"Brightness", "Contrast", "Gamma"};
const TCurveKind CurveKinds[3] = {TCurveKind::Brightness, TCurveKind::Contrast, TCurveKind::Gamma};
const char* const DebayerCaptions[8] = {
    "Mono", "Bayer", "Nearest", "Bin 2x2", "Bilinear", "Adaptive bilinear", "Laplacian", "Preview"};

QString WithSlash(QString folder) {
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

TSettingsForm::TSettingsForm(TAppForm* appForm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), appForm_(appForm) {
  setObjectName(QStringLiteral("SettingsForm"));
  setWindowTitle(QStringLiteral("Settings"));
  setModal(false);
  ChooseFolder = [](QWidget* owner, const QString& start) {
    return ChooseFolderOrNew(owner, QString(), start);
  };
  ExploreFolder = [](const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  auto* layout = new QGridLayout(this);
  CreateWorkingDirectoryGroup();
  CreateCorrectionGroup();
  CreateLookupGroup();
  CreateChannelGroups();
  CreateDebayerGroup();
  layout->addWidget(gbWorkingDirectory, 0, 0, 1, 2);
  layout->addWidget(gbImageCorrection, 1, 0);
  layout->addWidget(gbLookupTable, 1, 1);
  layout->addWidget(rgDebayer, 0, 2, 2, 1);
  auto* channels = new QHBoxLayout;
  for (QGroupBox* g : gbChannel) channels->addWidget(g);
  auto* rawButtons = new QVBoxLayout;
  for (QWidget* w :
       std::initializer_list<QWidget*>{btDefaultRGBTable, btWhiteBalanceRAW, cbRAWColorCorrection})
    rawButtons->addWidget(w);
  channels->addLayout(rawButtons);
  layout->addLayout(channels, 2, 0, 1, 3);
  resize(DesignClientWidth, DesignClientHeight);
  ConnectHandlers();
  // Every change applies at once; Enter presses no button, and the dialog
  // is hidden by its close box (or Exit) only.
  SetDialogKeys(*this, EscapeKey::Ignored);
  if (appForm_ != nullptr) appForm_->Session.Settings = this;
}

QSlider* TSettingsForm::Slider(const char* name, int minimum, int maximum, int value) {
  QSlider* slider = MakeTrackBar(this, name, Qt::Horizontal, minimum, maximum, value);
  slider->setPageStep(SliderPageStep);
  return slider;
}

void TSettingsForm::CreateWorkingDirectoryGroup() {
  gbWorkingDirectory = MakeGroup(this, "gbWorkingDirectory", QStringLiteral(" Working directory "));
  Edit_FramePath = MakeEdit(this, "Edit_FramePath",
                            appForm_ != nullptr ? appForm_->Session.WorkDir : QString(), true);
  Btn_SetFramePath = MakeButton(this, "Btn_SetFramePath", QStringLiteral("..."));
  Btn_SetFramePath->setToolTip(QStringLiteral("Choose File Store Folder"));
  Btn_Goto = MakeButton(this, "Btn_Goto", QStringLiteral("Explore"));
  Btn_Goto->setToolTip(QStringLiteral("Explore File Store Folder"));
  auto* row = new QHBoxLayout(gbWorkingDirectory);
  row->addWidget(Edit_FramePath, 1);
  row->addWidget(Btn_SetFramePath);
  row->addWidget(Btn_Goto);
}

void TSettingsForm::CreateCorrectionGroup() {
  gbImageCorrection =
      MakeGroup(this, "gbImageCorrection", QStringLiteral(" Software 8bit image correction "));
  cbImgCorrectionSelect = MakeComboBox(this, "cbImgCorrectionSelect",
                                       {QStringLiteral("Disable"), QStringLiteral("Enable")}, 0);
  struct Row {
    QSlider** slider;
    QLabel** label;
    const char* caption;
    const char* sliderName;
    const char* labelName;
    int minimum, maximum, value;
    const char* text;
  } rows[] = {
      {&tbRed, &lbRed, "Red", "tbRed", "lbRed", 1, 200, 100, "1.00"},
      {&tbGreen, &lbGreen, "Green", "tbGreen", "lbGreen", 1, 200, 100, "1.00"},
      {&tbBlue, &lbBlue, "Blue", "tbBlue", "lbBlue", 1, 200, 100, "1.00"},
      {&tbHue, &lbHue, "Hue", "tbHue", "lbHue", -1800, 1800, 0, "0.0"},
      {&tbLightless, &lbLightless, "Lightless", "tbLightless", "lbLightless", 1, 200, 100, "1.00"},
      {&tbSaturation, &lbSaturation, "Saturation", "tbSaturation", "lbSaturation", 1, 400, 100,
       "1.00"},
  };
  auto* grid = new QGridLayout(gbImageCorrection);
  grid->addWidget(cbImgCorrectionSelect, 0, 0, 1, 3);
  int line = 1;
  for (const Row& r : rows) {
    *r.slider = Slider(r.sliderName, r.minimum, r.maximum, r.value);
    (*r.slider)->setEnabled(false);  // until "Enable"
    *r.label = MakeLabel(this, r.labelName, QString::fromLatin1(r.text));
    (*r.label)->installEventFilter(this);  // double-click resets the slider
    grid->addWidget(new QLabel(QString::fromLatin1(r.caption), this), line, 0);
    grid->addWidget(*r.slider, line, 1);
    grid->addWidget(*r.label, line, 2);
    ++line;
  }
  btImageCorrectionDefault =
      MakeButton(this, "btImageCorrectionDefault", QStringLiteral("Default"));
  btWhiteBalance = MakeButton(this, "btWhiteBalance", QStringLiteral("White balance"));
  btImgCorrectionCalibrate =
      MakeButton(this, "btImgCorrectionCalibrate", QStringLiteral("Calibrate"));
  btImgCorrectionCalibrate->setVisible(false);
  btImgCorrectionCalibrate->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btImageCorrectionDefault);
  buttons->addWidget(btWhiteBalance);
  buttons->addWidget(btImgCorrectionCalibrate);
  grid->addLayout(buttons, line, 0, 1, 3);
}

void TSettingsForm::CreateLookupGroup() {
  gbLookupTable =
      MakeGroup(this, "gbLookupTable", QStringLiteral(" Lookup table for 10/12 bit raw video "));
  QSlider** sliders[3] = {&tbMonoBrightness, &tbMonoContrast, &tbMonoGamma};
  QLabel** labels[3] = {&lbMonoBrightnessValue, &lbMonoContrastValue, &lbMonoGammaValue};
  const char* designTexts[3] = {"0", "0", "1.00"};
  auto* grid = new QGridLayout(gbLookupTable);
  for (int k = 0; k < 3; ++k) {
    const QByteArray name = QByteArray("tbMono") + CurveNames[k];
    *sliders[k] = Slider(name.constData(), CurveMin, CurveMax, 0);
    const QByteArray label = QByteArray("lbMono") + CurveNames[k] + "Value";
    *labels[k] = MakeLabel(this, label.constData(), QString::fromLatin1(designTexts[k]));
    grid->addWidget(new QLabel(QString::fromLatin1(CurveNames[k]), this), k, 0);
    grid->addWidget(*sliders[k], k, 1);
    grid->addWidget(*labels[k], k, 2);
  }
  btDefaultLookupTable = MakeButton(this, "btDefaultLookupTable", QStringLiteral("Default"));
  grid->addWidget(btDefaultLookupTable, 3, 0, 1, 3);
}

void TSettingsForm::CreateChannelGroups() {
  const char* designTexts[3] = {"0", "0", "1.00"};
  for (int c = 0; c < 3; ++c) {
    const QByteArray group = QByteArray("gb") + ChannelNames[c];
    gbChannel[c] = MakeGroup(this, group.constData(),
                             QStringLiteral(" %1 ").arg(QLatin1String(ChannelNames[c])));
    auto* grid = new QGridLayout(gbChannel[c]);
    for (int k = 0; k < 3; ++k) {
      const QByteArray name = QByteArray("tb") + ChannelNames[c] + CurveNames[k];
      tbChannel[c][k] = Slider(name.constData(), CurveMin, CurveMax, 0);
      const QByteArray label = QByteArray("lb") + ChannelNames[c] + CurveNames[k] + "Value";
      lbChannelValue[c][k] =
          MakeLabel(this, label.constData(), QString::fromLatin1(designTexts[k]));
      grid->addWidget(new QLabel(QString::fromLatin1(CurveNames[k]), this), k, 0);
      grid->addWidget(tbChannel[c][k], k, 1);
      grid->addWidget(lbChannelValue[c][k], k, 2);
    }
  }
  btDefaultRGBTable = MakeButton(this, "btDefaultRGBTable", QStringLiteral("Default"));
  btWhiteBalanceRAW = MakeButton(this, "btWhiteBalanceRAW", QStringLiteral("White Balance"));
  cbRAWColorCorrection =
      MakeCheckBox(this, "cbRAWColorCorrection", QStringLiteral("RAW Color correction"), false);
}

void TSettingsForm::CreateDebayerGroup() {
  rgDebayer = MakeGroup(this, "rgDebayer", QStringLiteral(" Debayer algorithm "));
  rgDebayerButtons = new QButtonGroup(this);
  auto* column = new QVBoxLayout(rgDebayer);
  for (int i = 0; i < 8; ++i) {
    const QByteArray name = "rgDebayerItem" + QByteArray::number(i);
    QRadioButton* b =
        MakeRadioButton(rgDebayer, name.constData(), QString::fromLatin1(DebayerCaptions[i]));
    rgDebayerButtons->addButton(b, i);
    column->addWidget(b);
  }
  rgDebayerButtons->button(0)->setChecked(true);
}

void TSettingsForm::ConnectHandlers() {
  connect(rgDebayerButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) rgDebayerClick();
  });
  for (QSlider* s : {tbRed, tbGreen, tbBlue, tbHue, tbLightless, tbSaturation})
    connect(s, &QSlider::valueChanged, this, &TSettingsForm::CorrectionChange);
  // The user's choice only: the program selects "Enable" itself where needed.
  connect(cbImgCorrectionSelect, &QComboBox::activated, this, &TSettingsForm::CorrectionChange);
  for (QSlider* s : {tbMonoBrightness, tbMonoContrast, tbMonoGamma})
    connect(s, &QSlider::valueChanged, this, &TSettingsForm::ApplyMonoCurve);
  for (auto& channel : tbChannel)
    for (QSlider* s : channel)
      connect(s, &QSlider::valueChanged, this, &TSettingsForm::ApplyRGBCurves);
  connect(btImageCorrectionDefault, &QPushButton::clicked, this,
          &TSettingsForm::btImageCorrectionDefaultClick);
  connect(btWhiteBalance, &QPushButton::clicked, this, &TSettingsForm::btWhiteBalanceClick);
  connect(btDefaultLookupTable, &QPushButton::clicked, this,
          &TSettingsForm::btDefaultLookupTableClick);
  connect(btDefaultRGBTable, &QPushButton::clicked, this, &TSettingsForm::btDefaultRGBTableClick);
  connect(btWhiteBalanceRAW, &QPushButton::clicked, this, &TSettingsForm::btWhiteBalanceRAWClick);
  connect(cbRAWColorCorrection, &QCheckBox::toggled, this,
          &TSettingsForm::cbRAWColorCorrectionClick);
  connect(Btn_SetFramePath, &QPushButton::clicked, this, &TSettingsForm::Btn_SetFramePathClick);
  connect(Btn_Goto, &QPushButton::clicked, this, &TSettingsForm::Btn_GotoClick);
}

// --- Lifecycle -----------------------------------------------------------------

void TSettingsForm::FormCreate() {
  ReentryGuard = false;
  btDefaultLookupTableClick();
}

void TSettingsForm::FormActivate() {
  if (appForm_ != nullptr) Edit_FramePath->setText(appForm_->Session.WorkDir);
  raise();
}

bool TSettingsForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(e);
}

void TSettingsForm::ShowNonModal() {
  show();
  FormActivate();
  activateWindow();
}

void TSettingsForm::CloseWindow() { hide(); }

// --- The main form's side ------------------------------------------------------

void TSettingsForm::SetDebayerSelection(std::int32_t mode) {
  // The main form has set the mode already: the selection follows quietly.
  const QSignalBlocker blocker(rgDebayerButtons);
  if (QAbstractButton* b = rgDebayerButtons->button(mode)) b->setChecked(true);
}

void TSettingsForm::SetGainSliders(std::int32_t red, std::int32_t green, std::int32_t blue) {
  tbRed->setValue(red);
  tbGreen->setValue(green);
  tbBlue->setValue(blue);
}

// --- Handlers --------------------------------------------------------------------

void TSettingsForm::rgDebayerClick() {
  if (appForm_ != nullptr) appForm_->Session.SetDebayerMode(rgDebayerButtons->checkedId());
}

void TSettingsForm::CorrectionChange() {
  if (ReentryGuard) return;
  ReentryGuard = true;
  ApplyImageCorrection();
  ReentryGuard = false;
}

void TSettingsForm::ApplyImageCorrection() {
  const bool on = cbImgCorrectionSelect->currentIndex() == 1;
  for (QSlider* s : {tbRed, tbGreen, tbBlue, tbHue, tbLightless, tbSaturation}) s->setEnabled(on);
  if (!on) {
    if (appForm_ != nullptr)
      appForm_->Session.SetImageCorrection(false, 1.0, 0, 1.0, 0, 1.0, 0, 0, 1.0, 1.0, 0);
    return;
  }
  if (appForm_ != nullptr)
    appForm_->Session.SetImageCorrection(
        true, tbRed->value() / 100.0, 0, tbGreen->value() / 100.0, 0, tbBlue->value() / 100.0, 0,
        tbHue->value() / 10.0, tbSaturation->value() / 100.0, tbLightless->value() / 100.0, 0);
  for (const TValueLabel& v : CorrectionLabels())
    v.label->setText(FormatFloat(v.format, v.slider->value() / v.scale));
}

std::array<TSettingsForm::TValueLabel, 6> TSettingsForm::CorrectionLabels() const {
  return {{{lbRed, tbRed, 100.0, "%.2f", 100},
           {lbGreen, tbGreen, 100.0, "%.2f", 100},
           {lbBlue, tbBlue, 100.0, "%.2f", 100},
           {lbHue, tbHue, 10.0, "%.1f", 0},
           {lbLightless, tbLightless, 100.0, "%.2f", 100},
           {lbSaturation, tbSaturation, 100.0, "%.2f", 100}}};
}

void TSettingsForm::btImageCorrectionDefaultClick() {
  ReentryGuard = true;
  for (QSlider* s : {tbRed, tbGreen, tbBlue, tbSaturation, tbLightless}) s->setValue(100);
  tbHue->setValue(0);
  ReentryGuard = false;
  ApplyImageCorrection();
}

void TSettingsForm::btWhiteBalanceClick() {
  ReentryGuard = true;
  if (appForm_ != nullptr) {
    appForm_->Session.WhiteBalance8Pending = true;
    appForm_->Session.RepaintForm();
  }
  cbImgCorrectionSelect->setCurrentIndex(1);
  ReentryGuard = false;
  ApplyImageCorrection();
}

void TSettingsForm::SetCurveLabels(QSlider* const* sliders, QLabel* const* labels) {
  for (int k = 0; k < 3; ++k)
    labels[k]->setText(FormatFloat("%.2f", CurveLabelValue(CurveKinds[k], sliders[k]->value())));
}

void TSettingsForm::ApplyMonoCurve() {
  QSlider* const sliders[3] = {tbMonoBrightness, tbMonoContrast, tbMonoGamma};
  QLabel* const labels[3] = {lbMonoBrightnessValue, lbMonoContrastValue, lbMonoGammaValue};
  SetCurveLabels(sliders, labels);
  if (appForm_ != nullptr)
    appForm_->Session.SetMonoCurve(tbMonoBrightness->value(), tbMonoContrast->value(),
                                   tbMonoGamma->value());
}

void TSettingsForm::ApplyRGBCurves() {
  for (int c = 0; c < 3; ++c) SetCurveLabels(tbChannel[c], lbChannelValue[c]);
  if (appForm_ == nullptr) return;
  auto v = [this](int c, int k) { return tbChannel[c][k]->value(); };
  appForm_->Session.SetRGBCurves(v(0, 0), v(0, 1), v(0, 2), v(1, 0), v(1, 1), v(1, 2), v(2, 0),
                                 v(2, 1), v(2, 2));
}

void TSettingsForm::btDefaultLookupTableClick() {
  for (QSlider* s : {tbMonoBrightness, tbMonoContrast, tbMonoGamma}) s->setValue(0);
  if (appForm_ != nullptr) appForm_->Session.DefaultLookupTables();
}

void TSettingsForm::SetRGBSlidersToZero() {
  for (auto& channel : tbChannel)
    for (QSlider* s : channel) s->setValue(0);
}

void TSettingsForm::btDefaultRGBTableClick() { SetRGBSlidersToZero(); }

void TSettingsForm::cbRAWColorCorrectionClick() {
  if (appForm_ == nullptr) return;
  appForm_->Session.RAWCorrectionOn = cbRAWColorCorrection->isChecked();
  appForm_->Session.RepaintForm();
}

void TSettingsForm::btWhiteBalanceRAWClick() {
  SetRGBSlidersToZero();
  if (appForm_ == nullptr) return;
  appForm_->Session.WhiteBalanceRAWPending = true;
  appForm_->Session.RepaintForm();
  appForm_->Session.RAWCorrectionOn = true;
  cbRAWColorCorrection->setChecked(true);
  appForm_->Session.RepaintForm();
}

void TSettingsForm::Btn_SetFramePathClick() {
  if (appForm_ == nullptr) return;
  const QString chosen = ChooseFolder(this, appForm_->Session.WorkDir);
  if (chosen.isEmpty()) return;
  QDir().mkpath(chosen);  // a typed folder that does not exist yet is made
  appForm_->Session.WorkDir = WithSlash(chosen);
  Edit_FramePath->setText(appForm_->Session.WorkDir);
}

void TSettingsForm::Btn_GotoClick() {
  if (appForm_ == nullptr) return;
  appForm_->Session.WorkDir = WithSlash(appForm_->Session.WorkDir);
  if (!QDir(appForm_->Session.WorkDir).exists()) {
    ShowMessageBox(MessageKind::Error, QStringLiteral("Error"),
                   QStringLiteral("Directory does not exist : '") + appForm_->Session.WorkDir +
                       QStringLiteral("' !"));
    appForm_->Session.WorkDir = WithSlash(QCoreApplication::applicationDirPath());
    Edit_FramePath->setText(appForm_->Session.WorkDir);
  }
  if (ExploreFolder) ExploreFolder(appForm_->Session.WorkDir);
}

// Double-click on a value label puts its slider back to the neutral position.
bool TSettingsForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    for (const TValueLabel& v : CorrectionLabels()) {
      if (watched == v.label) {
        v.slider->setValue(v.neutral);
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, e);
}
