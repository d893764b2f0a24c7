#include "fmSettings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include <unistd.h>

#include "Dialogs.h"
#include "FileDialogs.h"
#include "Format.h"
#include "Messages.h"
#include "Parse.h"
#include "VclControls.h"
#include "fmMain.h"
#include "fmViewPort.h"
#include "imaging/debayer.h"

TSettingsForm* SettingsForm = nullptr;

namespace {

// Designed client size of the dialog.
constexpr int DesignClientWidth = 410;
constexpr int DesignClientHeight = 384;

// The frame pool: each block at least 5 MB, at least 2 and at most 1,024
// blocks.
constexpr std::int32_t MinPoolBlockSizeMB = 5;
constexpr std::int32_t MinPoolBlockCount = 2;
constexpr std::int32_t MaxPoolBlockCount = 1024;

// The frame read waits this long at most in the GUI thread.
constexpr double MaxFrameWaitSeconds = 60.0;

// Items of the clock list: the index is the camera's clock code (the 75 MHz
// entry stands before the 70 MHz entry).
const QStringList FrequencyItems = {"10 Mhz", "18 Mhz", "20 Mhz", "25 Mhz", "36 Mhz",
                                    "50 Mhz", "65 Mhz", "75 Mhz", "70 Mhz"};
const QStringList OutputModeItems = {"8 bit", "12 bit", "8 bits compress", "10 bits"};

// Statistics choices and their intervals in seconds (0 switches off).
const QStringList StatisticsItems = {"Disable", "1 sec", "2 sec", "3 sec", "5 sec", "10 sec"};
constexpr std::int32_t StatisticsSeconds[] = {0, 1, 2, 3, 5, 10};

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

// The statistics read-outs: label, edit, unit.
struct StatisticsDesign {
  const char* label;
  const char* edit;
  const char* unit;
};
constexpr StatisticsDesign StatisticsLeft[] = {
    {"Packet count", "ePacketCount", ""},        {"Packet lost", "ePacketLost", ""},
    {"Packet errors", "ePacketError", ""},       {"Frame count", "eFrameCount", ""},
    {"Frame resync", "eFrameResync", ""},        {"Frame user", "eFrameUser", ""},
    {"Control packet send", "eControlSet", ""},  {"Control packet recv", "eControlGet", ""},
    {"Control packet error", "eControlError", ""}};
constexpr StatisticsDesign StatisticsRight[] = {
    {"Interval", "eInterval", "sec"},   {"Speed", "eSpeedMbytes", "Mbytes/sec"},
    {"Speed", "eSpeedMbits", "Mbits/sec"}, {"Driver fps", "eFPS", ""},
    {"Camera fps", "eFPSCalc", ""},     {"User fps", "eFPSUser", ""}};

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

std::uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

// --- Control factories: each control gets its name and design value. ---------

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  return Named(new QLabel(text, parent), name);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QPushButton(caption, parent), name);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* box = Named(new QCheckBox(caption, parent), name);
  box->setChecked(checked);
  return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, bool readOnly) {
  auto* edit = Named(new QLineEdit(text, parent), name);
  edit->setReadOnly(readOnly);
  return edit;
}

QComboBox* MakeComboBox(QWidget* parent, const char* name, const QStringList& items, int index) {
  auto* box = Named(new QComboBox(parent), name);
  box->addItems(items);
  box->setCurrentIndex(index);
  return box;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QGroupBox(caption, parent), name);
}

// Vertical track bars have their minimum at the top.
QSlider* MakeTrackBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                      int maximum, int position) {
  auto* bar = Named(new QSlider(orientation, parent), name);
  bar->setRange(minimum, maximum);
  bar->setValue(position);
  bar->setPageStep(1);
  if (orientation == Qt::Vertical) {
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
  }
  return bar;
}

QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QRadioButton(caption, parent), name);
}

QWidget* MakeTab(QTabWidget* pages, const char* name, const QString& caption) {
  auto* tab = Named(new QWidget(pages), name);
  pages->addTab(tab, caption);
  return tab;
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

void TSettingsForm::CreateApplicationTab() {
  auto* page = new QVBoxLayout(tsApplication);

  QGroupBox* directory = MakeGroup(tsApplication, "gbWorkingDirectory",
                                   QStringLiteral(" Working directory "));
  edPath = MakeEdit(directory, "edPath", QStringLiteral("./"), true);
  edPath->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
  btSetPath = Named(new QToolButton(directory), "btSetPath");
  btSetPath->setText(QStringLiteral("..."));
  btSetPath->setToolTip(QStringLiteral("Choose File Store Folder"));
  btGoto = Named(new QToolButton(directory), "btGoto");
  btGoto->setText(QStringLiteral(">"));
  btGoto->setToolTip(QStringLiteral("Explore File Store Folder"));
  auto* directoryRow = new QHBoxLayout(directory);
  directoryRow->addWidget(edPath);
  directoryRow->addWidget(btSetPath);
  directoryRow->addWidget(btGoto);
  page->addWidget(directory);

  QGroupBox* video = MakeGroup(tsApplication, "gbSaveVideo", QStringLiteral(" Save Video "));
  cbUnlimitedFrames = MakeCheckBox(video, "cbUnlimitedFrames",
                                   QStringLiteral("Limit video saving with ESC key"), true);
  eFrames = MakeEdit(video, "eFrames", QStringLiteral("0"), false);
  eFrames->setEnabled(false);
  btSet = MakeButton(video, "btSet", QStringLiteral("Set"));
  auto* videoGrid = new QGridLayout(video);
  videoGrid->addWidget(cbUnlimitedFrames, 0, 0, 1, 4);
  videoGrid->addWidget(MakeLabel(video, "lbFrames1", QStringLiteral("Limit video save to")), 1, 0);
  videoGrid->addWidget(eFrames, 1, 1);
  videoGrid->addWidget(MakeLabel(video, "lbFrames2", QStringLiteral("frames")), 1, 2);
  videoGrid->addWidget(btSet, 1, 3);
  page->addWidget(video);

  QGroupBox* memory = MakeGroup(tsApplication, "gbBufferPool",
                                QStringLiteral(" Memory buffers for video capture "));
  eBufferPoolSize = MakeEdit(memory, "eBufferPoolSize", QStringLiteral("16"), false);
  eBufferPoolCount = MakeEdit(memory, "eBufferPoolCount", QStringLiteral("32"), false);
  btBufferPool = MakeButton(memory, "btBufferPool", QStringLiteral("Set"));
  auto* memoryGrid = new QGridLayout(memory);
  memoryGrid->addWidget(MakeLabel(memory, "lbBufferPoolSize", QStringLiteral("Buffer pool size, MB:")), 0, 0);
  memoryGrid->addWidget(eBufferPoolSize, 0, 1);
  memoryGrid->addWidget(MakeLabel(memory, "lbBufferPoolCount", QStringLiteral("Buffer pool count:")), 1, 0);
  memoryGrid->addWidget(eBufferPoolCount, 1, 1);
  memoryGrid->addWidget(btBufferPool, 1, 2);
  page->addWidget(memory);

  rgSaveImageMode = Named(new TRadioGroup(QStringLiteral("Image Format"),
                                          {QStringLiteral("BMP"), QStringLiteral("JPEG")},
                                          tsApplication),
                          "rgSaveImageMode");
  rgSaveImageMode->SetItemIndex(0);
  page->addWidget(rgSaveImageMode);
  page->addStretch();
}

void TSettingsForm::CreateGeneralTab() {
  auto* page = new QGridLayout(tsGeneral);

  QGroupBox* frequency = MakeGroup(tsGeneral, "gbFrequency", QStringLiteral(" Frequency "));
  cbFrequency = MakeComboBox(frequency, "cbFrequency", FrequencyItems, 0);
  (new QVBoxLayout(frequency))->addWidget(cbFrequency);

  QGroupBox* output = MakeGroup(tsGeneral, "gbOutputMode", QStringLiteral(" Output Mode "));
  cbOutputMode = MakeComboBox(output, "cbOutputMode", OutputModeItems, 2);
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

  gbInterPacketDelay = MakeGroup(tsGeneral, "gbInterPacketDelay",
                                 QStringLiteral(" InterPacket Delay "));
  tbInterPacketDelay = MakeTrackBar(gbInterPacketDelay, "tbInterPacketDelay", Qt::Horizontal, 0,
                                    65535, 0);
  edOutputDataBandwith = MakeEdit(gbInterPacketDelay, "edOutputDataBandwith",
                                  QStringLiteral("0000.00"), true);
  auto* delayGrid = new QGridLayout(gbInterPacketDelay);
  delayGrid->addWidget(tbInterPacketDelay, 0, 0, 1, 3);
  delayGrid->addWidget(MakeLabel(gbInterPacketDelay, "lbOutputDataBandwith",
                                 QStringLiteral("Output data bandwith:")), 1, 0);
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

  gbImageCorrection = MakeGroup(tsAdvanced, "gbImageCorrection",
                                QStringLiteral(" Software image correction "));
  cbImgCorrectionSelect = MakeComboBox(gbImageCorrection, "cbImgCorrectionSelect",
                                       {"None", "HSL", "Matrix"}, 0);
  tbHue = MakeTrackBar(gbImageCorrection, "tbHue", Qt::Horizontal, -1800, 1800, 0);
  lbHue = MakeLabel(gbImageCorrection, "lbHue", QStringLiteral("Hue"));
  lbHueValue = MakeLabel(gbImageCorrection, "lbHueValue", QStringLiteral("0.0"));
  tbLightless = MakeTrackBar(gbImageCorrection, "tbLightless", Qt::Horizontal, 1, 200, 100);
  lbLightless = MakeLabel(gbImageCorrection, "lbLightless", QStringLiteral("Lightless"));
  lbLightlessValue = MakeLabel(gbImageCorrection, "lbLightlessValue", QStringLiteral("1.00"));
  tbSaturation = MakeTrackBar(gbImageCorrection, "tbSaturation", Qt::Horizontal, 1, 400, 100);
  lbSaturation = MakeLabel(gbImageCorrection, "lbSaturation", QStringLiteral("Saturation"));
  lbSaturationValue = MakeLabel(gbImageCorrection, "lbSaturationValue", QStringLiteral("1.00"));
  btImageCorrectionDefault = MakeButton(gbImageCorrection, "btImageCorrectionDefault",
                                        QStringLiteral("Default"));
  btImgCorrectionCalibrate = MakeButton(gbImageCorrection, "btImgCorrectionCalibrate",
                                        QStringLiteral("Calibrate"));
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

  QGroupBox* gamma = MakeGroup(tsAdvanced, "gbGammaCorrection",
                               QStringLiteral(" Hardware gamma correction "));
  cbGammaCorrection = MakeCheckBox(gamma, "cbGammaCorrection",
                                   QStringLiteral("Enable gamma correction"), false);
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

  QGroupBox* wait = MakeGroup(tsAdvanced, "gbFrameWaitTimeout",
                              QStringLiteral(" Frame wait timeout "));
  edFrameWaitTimeout = MakeEdit(wait, "edFrameWaitTimeout", QStringLiteral("5"), false);
  FitMinimumWidth(edFrameWaitTimeout, 0, {FormatFloat("%.3f", MaxFrameWaitSeconds)});
  btFrameWaitTimeout = MakeButton(wait, "btFrameWaitTimeout", QStringLiteral("Set"));
  auto* waitRow = new QHBoxLayout(wait);
  waitRow->addWidget(edFrameWaitTimeout);
  waitRow->addWidget(MakeLabel(wait, "lbFrameWaitTimeoutUnit", QStringLiteral("sec")));
  waitRow->addWidget(btFrameWaitTimeout);

  gbColorEnhancement = MakeGroup(tsAdvanced, "gbColorEnhancement",
                                 QStringLiteral(" Color enhancement "));
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

void TSettingsForm::CreateTriggerTab() {
  auto* page = new QVBoxLayout(tsTrigger);
  QGroupBox* trigger = MakeGroup(tsTrigger, "gbExternalTrigger",
                                 QStringLiteral(" External trigger "));
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
      if (*d.unit != '\0') grid->addWidget(new QLabel(QLatin1String(d.unit), information), row, column + 2);
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

void TSettingsForm::ConnectHandlers() {
  // Application tab.
  connect(btSetPath, &QToolButton::clicked, this, &TSettingsForm::btSetPathClick);
  connect(btGoto, &QToolButton::clicked, this, &TSettingsForm::btGotoClick);
  connect(cbUnlimitedFrames, &QCheckBox::toggled, this, &TSettingsForm::cbUnlimitedFramesClick);
  connect(btSet, &QPushButton::clicked, this, &TSettingsForm::btSetClick);
  connect(btBufferPool, &QPushButton::clicked, this, &TSettingsForm::btBufferPoolClick);
  // General tab.
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
  connect(tbInterPacketDelay, &QSlider::valueChanged, this, &TSettingsForm::tbInterPacketDelayChange);
  OnDoubleClick(gbInterPacketDelay, [this] { gbInterPacketDelayDblClick(); });
  ConnectLookupTableHandlers();
  ConnectAdvancedHandlers();
  // Trigger tab: every control sends the whole trigger state; of two level
  // buttons only the one that becomes selected does.
  for (QCheckBox* box : {cbEnableExternalSyncronization, cbOUT1, cbOUT2})
    connect(box, &QCheckBox::toggled, this, &TSettingsForm::TriggerClick);
  for (QRadioButton* level : {rbHighLevelOUT1, rbLowLevelOUT1, rbHighLevelOUT2, rbLowLevelOUT2})
    connect(level, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) TriggerClick();
    });
  connect(cbSeeStatus, &QCheckBox::toggled, this, &TSettingsForm::cbSeeStatusClick);
  // Statistic tab.
  connect(cbStatistics, &QComboBox::activated, this, &TSettingsForm::cbStatisticsChange);
  connect(btReset, &QPushButton::clicked, this, &TSettingsForm::btResetClick);
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

void TSettingsForm::ConnectAdvancedHandlers() {
  connect(rgDebayer, &TRadioGroup::Click, this, &TSettingsForm::rgDebayerClick);
  connect(rgMedianFilter, &TRadioGroup::Click, this, &TSettingsForm::rgMedianFilterClick);
  connect(cbImgCorrectionSelect, &QComboBox::activated, this,
          &TSettingsForm::cbImgCorrectionSelectChange);
  for (QSlider* bar : {tbHue, tbLightless, tbSaturation})
    connect(bar, &QSlider::valueChanged, this, &TSettingsForm::ApplyHSLCorrection);
  connect(btImageCorrectionDefault, &QPushButton::clicked, this,
          &TSettingsForm::btImageCorrectionDefaultClick);
  OnDoubleClick(gbImageCorrection, [this] { btImageCorrectionDefaultClick(); });
  OnDoubleClick(lbHue, [this] { tbHue->setValue(0); });
  OnDoubleClick(lbLightless, [this] { tbLightless->setValue(100); });
  OnDoubleClick(lbSaturation, [this] { tbSaturation->setValue(100); });
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

// --- Life -------------------------------------------------------------------------

void TSettingsForm::FormCreate() {
  // Set throughout, so that the preset load's exposure refresh reads
  // nothing; cleared on every way out.
  TFlagScope updating(Updating);
  AppCommand->SettingsView = this;
  for (int g = 0; g < LookupGroups; ++g) ShowLookupValues(g);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  const QString presetFile = QStringLiteral("qdv47b5.pre");
  if (QFile::exists(presetFile)) LoadPresetFile(MainForm, presetFile);
}

bool TSettingsForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) ReadCameraSettings();
  return QDialog::event(event);
}

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
  lbViewPortValue->setText(FormatText("%dx%d at %dx%d", static_cast<int>(viewPort.Width),
                                      static_cast<int>(viewPort.Height),
                                      static_cast<int>(viewPort.StartX),
                                      static_cast<int>(viewPort.StartY)));
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

// --- Application tab ----------------------------------------------------------------

void TSettingsForm::btSetPathClick() {
  const QString folder =
      ChooseFolderOrNew(this, QStringLiteral("Please select working directory:"), edPath->text());
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);  // a typed folder that does not exist yet is made
  SetCaptureFolder(folder);
}

bool TSettingsForm::SetCaptureFolder(QString folder) {
  // The preset file keeps the folder on one line.
  if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) {
    ShowErrorMessage(QStringLiteral("A folder whose name holds a line break cannot be used"));
    return false;
  }
  // Capture file names are the folder's text followed by the name.
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  edPath->setText(folder);
  return true;
}

void TSettingsForm::btGotoClick() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(edPath->text()).absolutePath()));
}

void TSettingsForm::cbUnlimitedFramesClick() {
  if (cbUnlimitedFrames->isChecked()) {
    eFrames->setText(QStringLiteral("0"));
    eFrames->setEnabled(false);
    btSetClick();
  } else {
    // The limit stays until "Set" is pressed.
    eFrames->setEnabled(true);
  }
}

void TSettingsForm::btSetClick() {
  if (!ApplyFrameLimit()) ShowErrorMessage(NotAnIntegerText(eFrames->text()));
}

bool TSettingsForm::ApplyFrameLimit() {
  std::int32_t frames = 0;
  if (!ParseInt32(eFrames->text(), frames)) return false;
  AppCommand->SetFrames2Capture(frames);
  return true;
}

void TSettingsForm::btBufferPoolClick() {
  std::int32_t size = MinPoolBlockSizeMB;
  std::int32_t count = MinPoolBlockCount;
  ParseInt32(eBufferPoolSize->text(), size);
  ParseInt32(eBufferPoolCount->text(), count);
  size = std::max(size, MinPoolBlockSizeMB);
  count = std::clamp(count, MinPoolBlockCount, MaxPoolBlockCount);
  eBufferPoolSize->setText(FormatText("%d", size));
  eBufferPoolCount->setText(FormatText("%d", count));
  // A pool larger than the machine's memory could never be filled: the
  // capture would fail only when it starts.
  const std::uint64_t bytes =
      static_cast<std::uint64_t>(size) * static_cast<std::uint64_t>(count) * (1ull << 20);
  if (bytes > PhysicalMemoryBytes()) {
    ShowErrorMessage(FormatText("A buffer pool of %d blocks of %d MB does not fit into memory",
                                count, size));
    return;
  }
  AppCommand->SetBufferPool(count, size);
}

// --- General tab ----------------------------------------------------------------------

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

// --- Color correction tab -----------------------------------------------------------------

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

// --- Advanced tab -----------------------------------------------------------------------------

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

void TSettingsForm::btImageCorrectionDefaultClick() {
  tbHue->setValue(0);
  tbLightless->setValue(100);
  tbSaturation->setValue(100);
}

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

// --- Trigger tab ---------------------------------------------------------------------------

void TSettingsForm::TriggerClick() {
  AppCommand->SetTrigger(cbEnableExternalSyncronization->isChecked(),
                         rbHighLevelOUT1->isChecked(), rbHighLevelOUT2->isChecked(),
                         cbOUT1->isChecked(), cbOUT2->isChecked());
}

void TSettingsForm::cbSeeStatusClick() { AppCommand->SetTriggerMode(cbSeeStatus->isChecked()); }

// --- Statistic tab ---------------------------------------------------------------------------

void TSettingsForm::cbStatisticsChange() {
  const int index = cbStatistics->currentIndex();
  if (index >= 0 && index < static_cast<int>(std::size(StatisticsSeconds)))
    AppCommand->SetStatisticsInterval(StatisticsSeconds[index]);
}

void TSettingsForm::btResetClick() { AppCommand->ResetStatistics(); }
