#include "viewer/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "common/DebayerModes.h"
#include "common/Dialogs.h"
#include "common/FileDialogs.h"
#include "common/Format.h"
#include "common/KeypadZoomKeys.h"
#include "common/MenuGroups.h"
#include "common/TextWidths.h"
#include "common/ToolBarGlyph.h"
#include "common/ToolPictures.h"
#include "common/VideoPanel.h"
#include "common/Zoom.h"
#include "viewer/AVIConversion.h"

TAppForm* AppForm = nullptr;

namespace {

constexpr int DesignClientWidth = 800;
constexpr int DesignClientHeight = 600;
constexpr int StatusPanelWidth = 50;

static_assert(MenuGroupsFollowTheirTables<TAppForm>());

}  // namespace

// --- Construction -------------------------------------------------------------

TAppForm::TAppForm(QWidget* parent)
    : QMainWindow(parent), Session(static_cast<IViewerView&>(*this)) {
  setObjectName(QStringLiteral("AppForm"));
  setWindowTitle(QString::fromLatin1(DesignCaption));
  CreateMenus();
  CreateToolBar();
  CreateVideoArea();
  CreateStatusBar();
  CreateOpenDialog();
  resize(DesignClientWidth, DesignClientHeight);
}

TAppForm::~TAppForm() {
  // No playback thread paints into the form's widgets once they go.
  Session.StopPlayback();
  if (AppForm == this) AppForm = nullptr;
}

void TAppForm::CreateMenus() {
  auto item = [this](QMenu* menu, QAction*& action, const char* name, const char* caption,
                     const QKeySequence& shortcut, void (TAppForm::*handler)()) {
    action = new QAction(QString::fromLatin1(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, handler);
    if (menu != nullptr)
      menu->addAction(action);
    else
      addAction(action);  // hidden: kept out of the menus, its shortcut still works
    return action;
  };

  mFile = menuBar()->addMenu(QStringLiteral("&File"));
  mFile->setObjectName(QStringLiteral("mFile"));
  item(mFile, mOpenRAWfile, "mOpenRAWfile", "Open RAW file ...", Qt::CTRL | Qt::Key_O,
       &TAppForm::mOpenRAWfileClick);
  item(mFile, mFileInfo, "mFileInfo", "File info ...", Qt::Key_I, &TAppForm::mFileInfoClick);
  mFile->addSeparator();
  item(mFile, mCopyFrame, "mCopyFrame", "Copy Frame", Qt::CTRL | Qt::Key_C,
       &TAppForm::mCopyFrameClick);
  item(mFile, mSaveFrame, "mSaveFrame", "Save Frame", Qt::Key_F2, &TAppForm::mSaveFrameClick);
  item(mFile, mSaveAVI, "mSaveAVI", "Save AVI file ...", Qt::Key_F3, &TAppForm::mSaveAVIClick);
  mFile->addSeparator();
  item(mFile, mExit, "mExit", "Exit", Qt::ALT | Qt::Key_F4, &TAppForm::mExitClick);

  mVideo = menuBar()->addMenu(QStringLiteral("&Video"));
  mVideo->setObjectName(QStringLiteral("mVideo"));
  item(mVideo, mGotoBegin, "mGotoBegin", "Go to begin", Qt::Key_Home, &TAppForm::mGotoBeginClick);
  item(mVideo, mNextFrame, "mNextFrame", "Next Frame", Qt::Key_Space, &TAppForm::mNextFrameClick);
  item(mVideo, mStart, "mStart", "Start video", Qt::Key_F5, &TAppForm::mStartClick);
  item(mVideo, mStop, "mStop", "Stop video", Qt::Key_F6, &TAppForm::mStopClick);
  item(mVideo, mVideoLoop, "mVideoLoop", "Video Loop", Qt::ALT | Qt::Key_L,
       &TAppForm::mVideoLoopClick);
  mVideoLoop->setCheckable(true);
  mVideoLoop->setChecked(true);

  mView = menuBar()->addMenu(QStringLiteral("V&iew"));
  mView->setObjectName(QStringLiteral("mView"));
  item(mView, mHistogram, "mHistogram", "Histogram", Qt::Key_H, &TAppForm::mHistogramClick);
  mView->addSeparator();
  // The zoom items get their shortcuts in FormCreate.
  item(nullptr, mZoomInHidden, "mZoomInHidden", "Zoom In", {}, &TAppForm::mZoomInClick);
  item(mView, mZoomIn, "mZoomIn", "Zoom In", {}, &TAppForm::mZoomInClick);
  item(nullptr, mZoomOutHidden, "mZoomOutHidden", "Zoom Out", {}, &TAppForm::mZoomOutClick);
  item(mView, mZoomOut, "mZoomOut", "Zoom Out", {}, &TAppForm::mZoomOutClick);
  item(nullptr, mZoomOriginalHidden, "mZoomOriginalHidden", "Zoom 100%", {},
       &TAppForm::mZoomOriginalClick);
  item(mView, mZoomOriginal, "mZoomOriginal", "Zoom 100%", {}, &TAppForm::mZoomOriginalClick);
  mView->addSeparator();
  item(mView, mSettings, "mSettings", "Settings ...", Qt::ALT | Qt::Key_S,
       &TAppForm::mSettingsClick);

  for (const TMenuItemLink<TAppForm>& link : DebayerItemLinks<TAppForm>) {
    const TDebayerModeItem& design = DebayerModeItems[link.value];
    item(nullptr, this->*link.action, design.name, design.caption,
         Qt::ALT | Qt::Key(Qt::Key_0 + link.value), link.click);
  }

  mHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mHelp->setObjectName(QStringLiteral("mHelp"));
  item(mHelp, mHelpIndex, "mHelpIndex", "Help", Qt::Key_F1, &TAppForm::mHelpIndexClick);
  item(mHelp, mAbout, "mAbout", "About ...", Qt::ALT | Qt::Key_A, &TAppForm::mAboutClick);

  ZoomMenu = new QMenu(this);
  ZoomMenu->setObjectName(QStringLiteral("ZoomMenu"));
  for (const TMenuItemLink<TAppForm>& link : ZoomItemLinks<TAppForm>) {
    const QByteArray caption = FormatText("%d%%", link.value).toLatin1();
    const QByteArray name = "mZoom" + QByteArray::number(link.value);
    item(ZoomMenu, this->*link.action, name.constData(), caption.constData(), {}, link.click);
  }
}

void TAppForm::CreateToolBar() {
  ToolBar = addToolBar(QStringLiteral("ToolBar"));
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setIconSize(QSize(16, 16));
  QStyle* s = style();
  auto button = [this](QToolButton*& b, const char* name, const char* hint, const QIcon& icon,
                       void (TAppForm::*handler)()) {
    b = new TToolButton(ToolBar);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, handler);
    ToolBar->addWidget(b);
  };
  button(bOpenRAWfile, "bOpenRAWfile", "Open RAW file",
         s->standardIcon(QStyle::SP_DialogOpenButton), &TAppForm::mOpenRAWfileClick);
  button(bFileInfo, "bFileInfo", "File info", s->standardIcon(QStyle::SP_FileDialogInfoView),
         &TAppForm::mFileInfoClick);
  ToolBar->addSeparator();
  button(bCopyFrame, "bCopyFrame", "Copy frame", MakeGlyph(QStringLiteral("C"), Qt::black),
         &TAppForm::mCopyFrameClick);
  button(bSaveFrame, "bSaveFrame", "Save frame", s->standardIcon(QStyle::SP_DialogSaveButton),
         &TAppForm::mSaveFrameClick);
  button(bSaveAVI, "bSaveAVI", "Save AVI file", MakeWordPicture(QStringLiteral("AVI"), Qt::black),
         &TAppForm::mSaveAVIClick);
  ToolBar->addSeparator();
  button(bGotoBegin, "bGotoBegin", "Go to begin", s->standardIcon(QStyle::SP_MediaSkipBackward),
         &TAppForm::mGotoBeginClick);
  button(bNextFrame, "bNextFrame", "Next frame", s->standardIcon(QStyle::SP_MediaSeekForward),
         &TAppForm::mNextFrameClick);
  button(bStart, "bStart", "Start video", s->standardIcon(QStyle::SP_MediaPlay),
         &TAppForm::mStartClick);
  button(bStop, "bStop", "Stop video", s->standardIcon(QStyle::SP_MediaStop),
         &TAppForm::mStopClick);
  ToolBar->addSeparator();
  button(bZoom, "bZoom", "Zoom", MakeGlyph(QStringLiteral("1:1"), Qt::darkBlue),
         &TAppForm::bZoomClick);
  bZoom->setMenu(ZoomMenu);
  bZoom->setPopupMode(QToolButton::MenuButtonPopup);
  button(bZoomIn, "bZoomIn", "Zoom in", MakeGlyph(QStringLiteral("+"), Qt::darkBlue),
         &TAppForm::mZoomInClick);
  button(bZoomOut, "bZoomOut", "Zoom out", MakeGlyph(QStringLiteral("-"), Qt::darkBlue),
         &TAppForm::mZoomOutClick);
  ToolBar->addSeparator();
  button(bHistogram, "bHistogram", "Histogram", MakeGlyph(QStringLiteral("H"), Qt::darkGreen),
         &TAppForm::mHistogramClick);
  button(bSettings, "bSettings", "Settings", s->standardIcon(QStyle::SP_FileDialogDetailedView),
         &TAppForm::mSettingsClick);
  button(bHelpIndex, "bHelpIndex", "Help", s->standardIcon(QStyle::SP_DialogHelpButton),
         &TAppForm::mHelpIndexClick);
}

void TAppForm::CreateVideoArea() {
  VideoScrollBox = new QScrollArea(this);
  VideoScrollBox->setObjectName(QStringLiteral("VideoScrollBox"));
  VideoScrollBox->setFrameShape(QFrame::NoFrame);
  VideoScrollBox->setAlignment(Qt::AlignCenter);
  // Unsmoothed stretch of pictures up to the largest the buffers hold.
  VideoPanel = new TVideoPanel(nullptr, TPanelScaling::Unsmoothed, RawBufferSize);
  VideoPanel->setObjectName(QStringLiteral("VideoPanel"));
  VideoPanel->setFrameStyle(QFrame::NoFrame);
  VideoScrollBox->setWidget(VideoPanel);
  // No file yet: the panel fills the box.
  VideoScrollBox->setWidgetResizable(true);
  setCentralWidget(VideoScrollBox);
}

void TAppForm::CreateStatusBar() {
  StatusBar = statusBar();
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  statusPanel_ = new QLabel(StatusBar);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
  statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // The one panel reaches the window's edge, and holds the largest count.
  AddStatusPanel(StatusBar, statusPanel_, StatusPanelWidth,
                 {TViewerSession::FrameCounterText(INT32_MAX)}, true);
}

void TAppForm::CreateOpenDialog() {
  OpenDialog = new QFileDialog(this, QStringLiteral("Open RAW video file"));
  OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
  OpenDialog->setFileMode(QFileDialog::ExistingFile);
  OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
  SetUpFileDialog(*OpenDialog);
  // The camera application names its files "VIDEO_n.RAW": both cases are
  // listed on a case-sensitive file system.
  OpenDialog->setNameFilters(
      {QStringLiteral("Quilo RAW files (*.raw *.RAW)"), QStringLiteral("All files (*)")});
}

QString TAppForm::StatusText() const { return statusPanel_->text(); }

// --- Creation and closing ----------------------------------------------------

void TAppForm::AssignZoomShortcuts() {
  // Keypad keys carry the keypad modifier. The main keyboard's twins list
  // one sequence each: "+" and "*" are the characters the shifted keys
  // produce, so one key press matches exactly one item.
  mZoomIn->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
  mZoomOut->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));
  mZoomOriginal->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk));
  mZoomInHidden->setShortcut(QKeySequence(Qt::Key_Plus));
  mZoomOutHidden->setShortcut(QKeySequence(Qt::Key_Minus));
  mZoomOriginalHidden->setShortcut(QKeySequence(Qt::Key_Asterisk));
  // The menu names the keypad keys as a user reads them on the keyboard.
  ShowKeypadZoomKeys(mZoomIn, mZoomOut, mZoomOriginal);
}

void TAppForm::FormCreate(const QStringList& arguments) {
  if (created_) return;
  created_ = true;
  Session.Create(QCoreApplication::applicationDirPath());
  AssignZoomShortcuts();
  // With files open, commands that need one are enabled; at start only these.
  for (QAction* a : {mFileInfo, mCopyFrame, mSaveFrame, mSaveAVI, mGotoBegin, mNextFrame, mStart,
                     mStop, mVideoLoop, mHistogram, mZoomIn, mZoomInHidden, mZoomOut,
                     mZoomOutHidden, mZoomOriginal, mZoomOriginalHidden})
    a->setEnabled(false);
  for (QToolButton* b : {bFileInfo, bCopyFrame, bSaveFrame, bSaveAVI, bGotoBegin, bNextFrame,
                         bStart, bStop, bZoom, bZoomIn, bZoomOut, bHistogram})
    b->setEnabled(false);
  if (arguments.size() == 2) {
    Session.FileName = arguments.at(1);
    Session.OpenRAWFile();
    Session.ReadNextFrame();  // the first frame shows at the form's first repaint
  }
}

void TAppForm::FormClose() { Session.Close(); }

void TAppForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  // Closing the main form ends the program.
  if (AppForm == this) QApplication::quit();
}

// --- What the session shows -------------------------------------------------------

void TAppForm::ShowPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                           std::int32_t bits, std::int32_t displayWidth,
                           std::int32_t displayHeight) {
  SizePanelToPicture(*VideoScrollBox, *VideoPanel, displayWidth, displayHeight);
  // The panel copies the picture (Qt paints later, and the buffers change
  // with the next frame); an empty frame leaves it without one.
  if (!VideoPanel->SetPicture(image, width, height, bits)) VideoPanel->ClearPicture();
  VideoPanel->repaint();
}

void TAppForm::ShowStatus(const QString& text) {
  statusPanel_->setText(text);
  StatusBar->repaint();
}

void TAppForm::FileChanged(bool fileOpen) {
  VideoPanel->ClearPicture();
  VideoPanel->update();
  statusPanel_->clear();
  if (!fileOpen) setWindowTitle(QString::fromLatin1(DesignCaption));
  if (FileInfoView != nullptr) FileInfoView->FileChanged();
}

void TAppForm::UpdateWindow() { update(); }

void TAppForm::EnableFileCommands(const QString& fileName) {
  for (QAction* a : {mCopyFrame, mSaveFrame, mSaveAVI, mStart, mStop, mHistogram, mZoomIn,
                     mZoomInHidden, mZoomOut, mZoomOutHidden, mZoomOriginal, mZoomOriginalHidden,
                     mFileInfo, mSettings, mGotoBegin, mNextFrame, mVideoLoop})
    a->setEnabled(true);
  for (QToolButton* b : {bCopyFrame, bSaveFrame, bSaveAVI, bStart, bStop, bHistogram, bZoomIn,
                         bZoomOut, bFileInfo, bZoom, bSettings, bGotoBegin, bNextFrame})
    b->setEnabled(true);
  // From now on the render sizes the panel to the zoomed picture.
  VideoScrollBox->setWidgetResizable(false);
  setWindowTitle(QString::fromLatin1(FileCaption) + fileName);
}

// --- Commands --------------------------------------------------------------------

void TAppForm::mOpenRAWfileClick() {
  if (Session.Converting()) return;
  Session.EnsureWorkDirSlash();
  OpenDialog->setDirectory(Session.WorkDir);
  if (!RunFileDialog(*OpenDialog) || OpenDialog->selectedFiles().isEmpty()) return;
  Session.StopPlayback();
  Session.FileName = OpenDialog->selectedFiles().constFirst();
  Session.OpenRAWFile();
  mNextFrameClick();
}

void TAppForm::mNextFrameClick() { Session.NextFrame(); }
void TAppForm::mGotoBeginClick() { Session.GotoBegin(); }

void TAppForm::mFileInfoClick() {
  if (FileInfoView != nullptr) FileInfoView->ShowNonModal();
}

void TAppForm::mCopyFrameClick() { Session.CopyFrame(); }
void TAppForm::mSaveFrameClick() { Session.SaveFrame(); }
void TAppForm::mSaveAVIClick() { ConvertToAVI(Session); }

void TAppForm::mExitClick() {
  if (Session.Settings != nullptr) Session.Settings->CloseWindow();
  close();
}

void TAppForm::mStartClick() { Session.StartPlayback(); }
void TAppForm::mStopClick() { Session.StopPlayback(); }
void TAppForm::mVideoLoopClick() { mVideoLoop->setChecked(Session.ToggleVideoLoop()); }
void TAppForm::mHistogramClick() { Session.ShowHistogram(); }

void TAppForm::mZoomInClick() { Session.SetZoom(ZoomCodeIn(Session.Zoom, ViewerZoomCodeLargest)); }
void TAppForm::mZoomOutClick() { Session.SetZoom(ZoomCodeOut(Session.Zoom)); }
void TAppForm::mZoomOriginalClick() { Session.SetZoom(ZoomCodeOriginal); }
void TAppForm::bZoomClick() { Session.SetZoom(ZoomCodeOriginal); }
void TAppForm::mZoom25Click() { Session.SetZoom(ZoomStepOfPercent(25).code); }
void TAppForm::mZoom33Click() { Session.SetZoom(ZoomStepOfPercent(33).code); }
void TAppForm::mZoom50Click() { Session.SetZoom(ZoomStepOfPercent(50).code); }
void TAppForm::mZoom200Click() { Session.SetZoom(ZoomStepOfPercent(200).code); }
void TAppForm::mZoom300Click() { Session.SetZoom(ZoomStepOfPercent(300).code); }
void TAppForm::mZoom400Click() { Session.SetZoom(ZoomStepOfPercent(400).code); }

void TAppForm::mSettingsClick() {
  if (Session.Settings != nullptr) Session.Settings->ShowNonModal();
}

void TAppForm::mDebayerMonoClick() { Session.SetDebayerMode(DEBAYER_MONO); }
void TAppForm::mDebayerBayerClick() { Session.SetDebayerMode(DEBAYER_BAYER); }
void TAppForm::mDebayerNearestClick() { Session.SetDebayerMode(DEBAYER_NEAREST); }
void TAppForm::mDebayerBin2x2Click() { Session.SetDebayerMode(DEBAYER_BIN2X2); }
void TAppForm::mDebayerBilinearClick() { Session.SetDebayerMode(DEBAYER_BILINEAR); }
void TAppForm::mDebayerAdaptiveClick() { Session.SetDebayerMode(DEBAYER_ADAPTIVE); }
void TAppForm::mDebayerLaplacianClick() { Session.SetDebayerMode(DEBAYER_LAPLACIAN); }
void TAppForm::mDebayerPreviewClick() { Session.SetDebayerMode(DEBAYER_PREVIEW); }

void TAppForm::mHelpIndexClick() {}

void TAppForm::mAboutClick() {
  if (AboutView != nullptr) AboutView->ShowModal();
}

void TAppForm::FormResize() { CenterVideoPanel(); }

void TAppForm::CenterVideoPanel() { CenterPanelInScrollBox(*VideoScrollBox, *VideoPanel); }

void TAppForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}
