#include "APP/forms/fmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <cmath>
#include <cstring>

#include "APP/control/Commands.h"
#include "APP/forms/fmSettings.h"
#include "APP/link/CopyDataServer.h"
#include "common/DebayerModes.h"
#include "common/Dialogs.h"
#include "common/FileDialogs.h"
#include "common/Format.h"
#include "common/KeypadZoomKeys.h"
#include "common/MenuGroups.h"
#include "common/Messages.h"
#include "common/TextWidths.h"
#include "common/ToolBarGlyph.h"
#include "common/ToolPictures.h"
#include "common/VideoPanel.h"
#include "common/Zoom.h"
#include "imaging/debayer.h"

TMainForm* MainForm = nullptr;

namespace {

// Designed client size of the window.
constexpr int DesignClientWidth = 974;
constexpr int DesignClientHeight = 711;

// Each panel's designed width and text, and the widest texts it shows: the
// capture counters of the longest capture, a serial number of the widest
// fields, the largest zoom, load, speed and loss.
struct PanelDesign {
  int width;
  const char* text;
  std::array<const char*, 3> widest;
};
constexpr PanelDesign PanelDesigns[TMainForm::PanelCount] = {
    {65, "Status: ????", {"Status: FAIL", "2147483647(2147483647) ...", "-2147483648"}},
    {175, "SerialNo: ?.?.?.?.?", {"SerialNo: -2147483648.65535.65535.65535.65535", "", ""}},
    {65, "1234.12 fps", {"9999.99 fps", "ESC - STOP", "Stopped"}},
    {70, "Zoom: 999%", {"Zoom: 800%", "", ""}},
    {85, "CPU load: 999%", {"CPU load: 100%", "", ""}},
    {100, "Speed: 12.12 Mb/s", {"Speed: 999.99 MB/s", "", ""}},
    {50, "Packet lost: 123.12%", {"Packet lost: 100.00%", "", ""}}};

QList<QIcon> MakeImageList(QStyle* style) {
  return {
      style->standardIcon(QStyle::SP_MediaPlay),               // 0 start video
      style->standardIcon(QStyle::SP_MediaStop),               // 1 stop video
      MakeGlyph(QStringLiteral("+"), Qt::darkBlue),            // 2 zoom in
      MakeGlyph(QStringLiteral("-"), Qt::darkBlue),            // 3 zoom out
      MakeGlyph(QStringLiteral("1:1"), Qt::darkBlue),          // 4 zoom
      MakeGlyph(QStringLiteral("R"), Qt::darkRed),             // 5 RAW histogram
      MakeGlyph(QStringLiteral("H"), Qt::darkGreen),           // 6 frame histogram
      style->standardIcon(QStyle::SP_FileDialogDetailedView),  // 7 settings
      style->standardIcon(QStyle::SP_DialogSaveButton),        // 8 save frame
      MakeWordPicture(QStringLiteral("AVI"), Qt::black),       // 9 save AVI video
      MakeGlyph(QStringLiteral("C"), Qt::black),               // 10 copy frame
      MakeGlyph(QStringLiteral("?"), Qt::darkBlue),            // 11 help
      MakeWordPicture(QStringLiteral("RAW"), Qt::black),       // 12 save RAW video
  };
}

static_assert(MenuGroupsFollowTheirTables<TMainForm>());

}  // namespace

// --- Construction -------------------------------------------------------------

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("QDV-47B5 Application"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);
  ImageList = MakeImageList(style());
  CreateMenus();
  CreateToolBar();
  CreateVideoArea();
  CreateStatusBar();
  CreateTimers();
  // The designed client area lies below the menu bar.
  resize(DesignClientWidth, DesignClientHeight + MainMenu->sizeHint().height());
}

TMainForm::~TMainForm() {
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::CreateMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));

  auto item = [this](QMenu* menu, QAction*& action, const char* name, const QString& caption,
                     const QKeySequence& shortcut, void (TMainForm::*handler)()) {
    action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    if (handler != nullptr) connect(action, &QAction::triggered, this, handler);
    if (menu != nullptr) menu->addAction(action);
    return action;
  };
  // A hidden item is kept out of its menu (an invisible action would not
  // fire) and added to the window, so that its shortcut still works.
  auto hidden = [this, &item](QAction*& action, const char* name, const QString& caption,
                              void (TMainForm::*handler)()) {
    item(nullptr, action, name, caption, QKeySequence(), handler);
    addAction(action);
    return action;
  };
  auto separator = [](QMenu* menu, QAction*& action, const char* name) {
    action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
  };

  mFile = MainMenu->addMenu(QStringLiteral("&File"));
  mFile->setObjectName(QStringLiteral("mFile"));
  item(mFile, mCopy, "mCopy", QStringLiteral("&Copy Frame"), QKeySequence(Qt::CTRL | Qt::Key_C),
       &TMainForm::mCopyClick);
  item(mFile, mSaveFrame, "mSaveFrame", QStringLiteral("Save &Frame"), QKeySequence(Qt::Key_F2),
       &TMainForm::mSaveFrameClick);
  item(mFile, mSaveVideo, "mSaveVideo", QStringLiteral("Save AVI &Video "),
       QKeySequence(Qt::Key_F3), &TMainForm::mSaveVideoClick);
  item(mFile, LoadPreset1, "LoadPreset1", QStringLiteral("Load Preset"),
       QKeySequence(Qt::CTRL | Qt::Key_L), &TMainForm::LoadPreset1Click);
  item(mFile, SavePreset1, "SavePreset1", QStringLiteral("Save Preset"),
       QKeySequence(Qt::CTRL | Qt::Key_M), &TMainForm::SavePreset1Click);
  item(mFile, mSaveRAWVideo, "mSaveRAWVideo", QStringLiteral("Save &RAW Video"),
       QKeySequence(Qt::Key_F4), &TMainForm::mSaveRAWVideoClick);
  separator(mFile, mN1, "mN1");
  item(mFile, mExit, "mExit", QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_X),
       &TMainForm::mExitClick);

  mDevice = MainMenu->addMenu(QStringLiteral("&Device"));
  mDevice->setObjectName(QStringLiteral("mDevice"));
  item(mDevice, mStartVideo, "mStartVideo", QStringLiteral("Start Video"), QKeySequence(Qt::Key_F5),
       &TMainForm::mStartVideoClick);
  item(mDevice, mStopVideo, "mStopVideo", QStringLiteral("Stop Video"), QKeySequence(Qt::Key_F6),
       &TMainForm::mStopVideoClick);
  separator(mDevice, mN4, "mN4");
  item(mDevice, mHistogramRAW, "mHistogramRAW", QStringLiteral("Histogram RAW"),
       QKeySequence(Qt::CTRL | Qt::Key_H), &TMainForm::mHistogramRAWClick);
  item(mDevice, mHistogramRGB, "mHistogramRGB", QStringLiteral("Histogram RGB"),
       QKeySequence(Qt::Key_H), &TMainForm::mHistogramRGBClick);
  separator(mDevice, mN2, "mN2");
  // The zoom items get their shortcuts in FormCreate.
  hidden(mZoomInHidden, "mZoomInHidden", QStringLiteral("Zoom In"), &TMainForm::mZoomInClick);
  item(mDevice, mZoomIn, "mZoomIn", QStringLiteral("Zoom In"), QKeySequence(),
       &TMainForm::mZoomInClick);
  hidden(mZoomOutHidden, "mZoomOutHidden", QStringLiteral("Zoom Out"), &TMainForm::mZoomOutClick);
  item(mDevice, mZoomOut, "mZoomOut", QStringLiteral("Zoom Out"), QKeySequence(),
       &TMainForm::mZoomOutClick);
  hidden(mZoomOriginalHidden, "mZoomOriginalHidden", QStringLiteral("Zoom 100%"),
         &TMainForm::mZoomOriginalClick);
  item(mDevice, mZoomOriginal, "mZoomOriginal", QStringLiteral("Zoom 100%"), QKeySequence(),
       &TMainForm::mZoomOriginalClick);
  separator(mDevice, mN3, "mN3");
  item(mDevice, mSettings, "mSettings", QStringLiteral("Settings..."),
       QKeySequence(Qt::ALT | Qt::Key_S), &TMainForm::mSettingsClick);
  separator(mDevice, mN6, "mN6");
  mN6->setVisible(false);
  for (const TMenuItemLink<TMainForm>& link : DebayerItemLinks<TMainForm>) {
    const TDebayerModeItem& design = DebayerModeItems[link.value];
    hidden(this->*link.action, design.name, QString::fromLatin1(design.caption), link.click)
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + link.value)));
  }

  mHelp = MainMenu->addMenu(QStringLiteral("&Help"));
  mHelp->setObjectName(QStringLiteral("mHelp"));
  item(mHelp, mHelpIndex, "mHelpIndex", QStringLiteral("Help"), QKeySequence(Qt::Key_F1),
       &TMainForm::mHelpIndexClick);
  separator(mHelp, mN5, "mN5");
  item(mHelp, mAbout, "mAbout", QStringLiteral("About..."), QKeySequence(Qt::ALT | Qt::Key_A),
       &TMainForm::mAboutClick);

  ZoomMenu = new QMenu(this);
  ZoomMenu->setObjectName(QStringLiteral("ZoomMenu"));
  for (const TMenuItemLink<TMainForm>& link : ZoomItemLinks<TMainForm>) {
    const QByteArray name = "mZoom" + QByteArray::number(link.value);
    item(ZoomMenu, this->*link.action, name.constData(), FormatText("%d%%", link.value),
         QKeySequence(), link.click);
  }
}

void TMainForm::CreateToolBar() {
  ToolBar = new QToolBar(this);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setFixedHeight(22);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, ToolBar);

  auto button = [this](QToolButton*& b, const char* name, const char* hint, int image,
                       void (TMainForm::*handler)()) {
    b = new TToolButton(ToolBar);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(ImageList.value(image));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, handler);
    ToolBar->addWidget(b);
  };
  // A divider draws a line; a separator is only a gap.
  auto divider = [this](QAction*& a, const char* name) {
    a = ToolBar->addSeparator();
    a->setObjectName(QString::fromLatin1(name));
  };
  auto gap = [this](QWidget*& w, const char* name) {
    w = new QWidget(ToolBar);
    w->setObjectName(QString::fromLatin1(name));
    w->setFixedWidth(8);
    ToolBar->addWidget(w);
  };

  button(btRun, "btRun", "Start video", 0, &TMainForm::mStartVideoClick);
  button(btStop, "btStop", "Stop video", 1, &TMainForm::mStopVideoClick);
  divider(btSP1, "btSP1");
  button(btCopy, "btCopy", "Copy frame", 10, &TMainForm::mCopyClick);
  button(btFrameCapture, "btFrameCapture", "Save frame", 8, &TMainForm::mSaveFrameClick);
  button(btVideoCapture, "btVideoCapture", "Save AVI video", 9, &TMainForm::mSaveVideoClick);
  button(btRAWCapture, "btRAWCapture", "Save RAW video", 12, &TMainForm::btRAWCaptureClick);
  divider(btSP3, "btSP3");
  button(btZoom, "btZoom", "Zoom", 4, &TMainForm::mZoomOriginalClick);
  btZoom->setMenu(ZoomMenu);
  btZoom->setPopupMode(QToolButton::MenuButtonPopup);
  // The names are crossed over: btZoomOut zooms in and btZoomIn zooms out.
  button(btZoomOut, "btZoomOut", "Zoom In", 2, &TMainForm::mZoomInClick);
  button(btZoomIn, "btZoomIn", "Zoom Out", 3, &TMainForm::mZoomOutClick);
  gap(btSP2, "btSP2");
  button(btHistogramRAW, "btHistogramRAW", "RAW histogram", 5, &TMainForm::mHistogramRAWClick);
  button(btHistogramRGB, "btHistogramRGB", "Frame histogram", 6, &TMainForm::mHistogramRGBClick);
  gap(btSP4, "btSP4");
  button(btSettings, "btSettings", "Settings", 7, &TMainForm::mSettingsClick);
  gap(btSP5, "btSP5");
  button(btHelp, "btHelp", "Help", 11, &TMainForm::mHelpIndexClick);
}

void TMainForm::CreateVideoArea() {
  VideoScrollBox = new QScrollArea(this);
  VideoScrollBox->setObjectName(QStringLiteral("VideoScrollBox"));
  // Centred when smaller than the box, scrolled when larger: the placement
  // that CenterVideoPanel computes.
  VideoScrollBox->setAlignment(Qt::AlignCenter);
  VideoScrollBox->setFrameShape(QFrame::NoFrame);
  VideoPanel = new TVideoPanel;
  VideoPanel->setObjectName(QStringLiteral("VideoPanel"));
  VideoPanel->SetCaption(QStringLiteral("Stopped"));
  VideoScrollBox->setWidget(VideoPanel);
  // No video yet: the panel fills the box.
  VideoScrollBox->setWidgetResizable(true);
  setCentralWidget(VideoScrollBox);
}

void TMainForm::CreateStatusBar() {
  StatusBar = statusBar();
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(true);
  for (int i = 0; i < PanelCount; ++i) {
    auto* label = new QLabel(QString::fromLatin1(PanelDesigns[i].text), StatusBar);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A width that holds the widest text from the start: panels that grew
    // with their text would shift their neighbours at every zoom or load
    // change. The last panel reaches the window's edge.
    QStringList widest{label->text()};
    for (const char* text : PanelDesigns[i].widest) widest << QString::fromLatin1(text);
    AddStatusPanel(StatusBar, label, PanelDesigns[i].width, widest, i == PanelCount - 1);
    panels_[i] = label;
  }
}

void TMainForm::CreateTimers() {
  auto timer = [this](QTimer*& t, const char* name, int interval, void (TMainForm::*handler)()) {
    t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    connect(t, &QTimer::timeout, this, handler);
  };
  timer(tmCPULoad, "tmCPULoad", 3000, &TMainForm::tmCPULoadTimer);
  timer(tmFPS, "tmFPS", 10000, &TMainForm::tmFPSTimer);
  timer(tmStatistics, "tmStatistics", 5000, &TMainForm::tmStatisticsTimer);
}

void TMainForm::AssignZoomShortcuts() {
  // One key press must match exactly one shortcut: Qt runs none of several
  // that match. Under X11 and Wayland a key press matches both its plain
  // symbol and the unshifted key with Shift (Shift+= gives "+" and Shift+=,
  // Shift+8 gives "*" and Shift+8), and keypad keys arrive as their plain
  // symbols. So the plain "+" and "*" serve both the keypad and the shifted
  // main-keyboard keys, the main keyboard's "-" serves both minus keys, and
  // the other three carry what other platforms report for their keys.
  mZoomInHidden->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Plus));
  mZoomIn->setShortcut(QKeySequence(Qt::Key_Plus));
  mZoomOutHidden->setShortcut(QKeySequence(Qt::Key_Minus));
  mZoomOut->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));
  mZoomOriginalHidden->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Asterisk));
  mZoomOriginal->setShortcut(QKeySequence(Qt::Key_Asterisk));
  // The menu names the keypad keys, as a user presses them.
  ShowKeypadZoomKeys(mZoomIn, mZoomOut, mZoomOriginal);
}

void TMainForm::FormCreate() {
  if (created_) return;
  created_ = true;
  AssignZoomShortcuts();
  AppCommand->MainView = this;
  AppCommand->Init();
  tmCPULoad->start();
  ListenCopyData(QString::fromLatin1(CopyDataServerName));
}

// --- Status bar ---------------------------------------------------------------

void TMainForm::SetPanel(int index, const QString& text) {
  if (index < 0 || index >= PanelCount) return;
  panels_[index]->setText(text);
}

QString TMainForm::Panel(int index) const {
  if (index < 0 || index >= PanelCount) return {};
  return panels_[index]->text();
}

void TMainForm::RepaintStatusBar() { StatusBar->repaint(); }

void TMainForm::SetFPSTimerEnabled(bool enabled) {
  if (enabled)
    tmFPS->start();
  else
    tmFPS->stop();
}

void TMainForm::SetStatisticsTimer(int intervalMs, bool enabled) {
  tmStatistics->setInterval(intervalMs);
  if (enabled)
    tmStatistics->start();
  else
    tmStatistics->stop();
}

void TMainForm::SetVideoPanelFill(bool fill) {
  if (fill) {
    // Stopped: the panel fills the box and shows its caption.
    VideoPanel->ClearPicture();
    VideoScrollBox->setWidgetResizable(true);
  } else {
    // Running: the render pipeline sizes the panel to the zoomed picture.
    VideoScrollBox->setWidgetResizable(false);
  }
}

void TMainForm::ShowPicture(const std::uint8_t* picture, int width, int height, int bits,
                            int drawnWidth, int drawnHeight) {
  SizePanelToPicture(*VideoScrollBox, *VideoPanel, drawnWidth, drawnHeight);
  VideoPanel->SetPicture(picture, width, height, bits);
}

void TMainForm::CenterVideoPanel() { CenterPanelInScrollBox(*VideoScrollBox, *VideoPanel); }

// --- Handlers -----------------------------------------------------------------

void TMainForm::mCopyClick() { AppCommand->CopyFrame(); }
void TMainForm::mSaveFrameClick() { AppCommand->SaveFrame(); }
void TMainForm::mSaveVideoClick() { AppCommand->SaveVideo(); }
void TMainForm::mSaveRAWVideoClick() { AppCommand->SaveRAWVideo(); }
void TMainForm::btRAWCaptureClick() { AppCommand->SaveRAWVideo(); }
void TMainForm::mExitClick() { close(); }
void TMainForm::mStartVideoClick() { AppCommand->StartVideo(); }
void TMainForm::mStopVideoClick() { AppCommand->StopVideo(); }
void TMainForm::mHistogramRAWClick() { AppCommand->ShowHistogramRAW(true); }
void TMainForm::mHistogramRGBClick() { AppCommand->ShowHistogramRGB(true); }
void TMainForm::mZoomInClick() { AppCommand->ZoomIn(); }
void TMainForm::mZoomOutClick() { AppCommand->ZoomOut(); }
void TMainForm::mZoomOriginalClick() { AppCommand->SetZoomPercent(100); }
void TMainForm::mZoom25Click() { AppCommand->SetZoomPercent(25); }
void TMainForm::mZoom33Click() { AppCommand->SetZoomPercent(33); }
void TMainForm::mZoom50Click() { AppCommand->SetZoomPercent(50); }
void TMainForm::mZoom200Click() { AppCommand->SetZoomPercent(200); }
void TMainForm::mZoom300Click() { AppCommand->SetZoomPercent(300); }
void TMainForm::mZoom400Click() { AppCommand->SetZoomPercent(400); }
void TMainForm::mSettingsClick() { AppCommand->ShowSettings(); }
void TMainForm::mDebayerMonoClick() { AppCommand->SetDebayerMode(DEBAYER_MONO); }
void TMainForm::mDebayerBayerClick() { AppCommand->SetDebayerMode(DEBAYER_BAYER); }
void TMainForm::mDebayerNearestClick() { AppCommand->SetDebayerMode(DEBAYER_NEAREST); }
void TMainForm::mDebayerBin2x2Click() { AppCommand->SetDebayerMode(DEBAYER_BIN2X2); }
void TMainForm::mDebayerBilinearClick() { AppCommand->SetDebayerMode(DEBAYER_BILINEAR); }
void TMainForm::mDebayerAdaptiveClick() { AppCommand->SetDebayerMode(DEBAYER_ADAPTIVE); }
void TMainForm::mDebayerLaplacianClick() { AppCommand->SetDebayerMode(DEBAYER_LAPLACIAN); }
void TMainForm::mDebayerPreviewClick() { AppCommand->SetDebayerMode(DEBAYER_PREVIEW); }
void TMainForm::mHelpIndexClick() { AppCommand->ShowHelp(); }
void TMainForm::mAboutClick() { AppCommand->ShowAbout(); }

namespace {
// The preset file dialogs: the current directory, "Preset files" selected,
// extension "pre" added to a name without one.
void SetUpPresetDialog(QFileDialog& dialog) {
  SetUpFileDialog(dialog);
  dialog.setDirectory(QDir::currentPath());
  dialog.setNameFilter(QStringLiteral("Preset files (*.pre)"));
  dialog.setDefaultSuffix(QStringLiteral("pre"));
}

QString ChosenFile(const QFileDialog& dialog) {
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}
}  // namespace

void TMainForm::LoadPreset1Click() {
  QFileDialog dialog(this);
  SetUpPresetDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!RunFileDialog(dialog)) {
    ShowMessage(QStringLiteral("Open file was cancelled"));
    return;
  }
  const QString path = ChosenFile(dialog);
  switch (LoadPresetFile(this, path)) {
    case TPresetLoad::Loaded:
      ShowMessage(QStringLiteral("File : ") + path + QStringLiteral(" Loaded OK"));
      break;
    case TPresetLoad::Refused:
      ShowMessage(QStringLiteral("File : ") + path +
                  QStringLiteral(" not loaded: a capture is running"));
      break;
    case TPresetLoad::Stopped:  // the error box has been shown
      break;
  }
}

void TMainForm::SavePreset1Click() {
  QFileDialog dialog(this, QStringLiteral("Select a name for new profile"));
  SetUpPresetDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!RunFileDialog(dialog)) {
    ShowMessage(QStringLiteral("Save file was cancelled"));
    return;
  }
  const QString path = ChosenFile(dialog);
  if (!MayStorePresetAt(path)) return;
  switch (SavePresetFile(this, path)) {
    case TPresetSave::Stored:
      ShowMessage(QStringLiteral("Profile : ") + path + QStringLiteral("  Stored OK"));
      break;
    case TPresetSave::CameraNotAnswering:
      ShowMessage(QStringLiteral("Profile : ") + path +
                  QStringLiteral(" not stored: the camera does not answer"));
      break;
    case TPresetSave::WriteFailed:
      ShowMessage(QStringLiteral("Profile : ") + path +
                  QStringLiteral(" not stored: the file could not be written"));
      break;
  }
}

void TMainForm::tmCPULoadTimer() { AppCommand->ShowCPULoad(); }
void TMainForm::tmFPSTimer() { AppCommand->ShowFPS(tmFPS->interval() / 1000.0); }
void TMainForm::tmStatisticsTimer() {
  AppCommand->ShowStatistics(tmStatistics->interval() / 1000.0);
}

void TMainForm::FormResize() {
  if (AppCommand != nullptr) AppCommand->CenterVideoPanel();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

bool TMainForm::FormKeyDown(int key) {
  if (key != 27) return false;
  AppCommand->StopVideo();
  return true;
}

// Only keys that no control of the window used arrive here.
void TMainForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && FormKeyDown(27)) {
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TMainForm::FormClose() {
  tmCPULoad->stop();
  AppCommand->Done();
  // The preset holds the settings dialog's state; without the dialog
  // (window tests) there is nothing to keep.
  if (SettingsForm != nullptr) SaveClosingPreset(this, SettingsForm->StartUpPresetRefused);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  // Closing the main window ends the program.
  QApplication::quit();
}

// --- The colour-correction tool's answer ---------------------------------------

std::int32_t TMainForm::WMCopyData(std::uint32_t size, const void* data) {
  if (size == CorrectionMatrixBytes && data != nullptr) {
    double matrix[12];
    std::memcpy(matrix, data, sizeof matrix);
    bool finite = true;
    for (double v : matrix) finite = finite && std::isfinite(v);
    // A matrix with an infinity or a NaN would poison every corrected
    // colour: it is ignored like a message of the wrong size.
    if (finite) {
      if (CorrectionMatrixSink)
        CorrectionMatrixSink(matrix);
      else
        AppCommand->SetCorrectionMatrix(matrix);
    }
  }
  return CopyDataResult;
}

bool TMainForm::ListenCopyData(const QString& name) {
  if (copyDataServer_ == nullptr) {
    copyDataServer_ = new TCopyDataServer(
        [this](std::uint32_t size, const void* data) { return WMCopyData(size, data); },
        CorrectionMatrixBytes, this);
    copyDataServer_->setObjectName(QStringLiteral("CopyDataServer"));
  }
  return copyDataServer_->Listen(name);
}

QString TMainForm::CopyDataName() const {
  return copyDataServer_ != nullptr ? copyDataServer_->ServerName() : QString();
}
