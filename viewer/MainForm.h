// The viewer's main form: its menus, tool bar, video panel and status bar,
// and the handlers of its commands. The viewer's state (the open file, the
// buffers, the tables, playback and export) is its Session, which the
// handlers drive; the session shows what it does through the form as its
// IViewerView.
//
// The other windows are reached through the narrow interfaces of
// ViewerView.h, which each window sets when it is created (tests replace
// them).
#ifndef VIEWER_MAINFORM_H
#define VIEWER_MAINFORM_H

#include <QCoreApplication>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "viewer/ViewerSession.h"
#include "viewer/ViewerView.h"

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;
class TVideoPanel;

class TAppForm : public QMainWindow, private IViewerView {
  Q_OBJECT
 public:
  // The form's design caption, and the caption with a file open (+ name).
  static constexpr const char* DesignCaption = "QDV47B5 Viewer and Convertor";
  static constexpr const char* FileCaption = "QDV47B5 RAW video viewer and convertor : ";

  explicit TAppForm(QWidget* parent = nullptr);
  ~TAppForm() override;

  // Creation handler: the session's start state, the shortcuts and the
  // commands enabled at start; with exactly one argument after the program
  // name, opens that file and reads its first frame.
  void FormCreate(const QStringList& arguments = QCoreApplication::arguments());
  // Close handler: stops playback, closes the file, frees the correction.
  void FormClose();

  // The viewer's state, which the commands drive.
  TViewerSession Session;

  // The status bar's one panel.
  QString StatusText() const;
  void CenterVideoPanel();

  // The file-information and about windows, set when they are created.
  IViewerWindow* FileInfoView = nullptr;
  IViewerWindow* AboutView = nullptr;

  // --- Controls ------------------------------------------------------------
  QMenu* mFile = nullptr;
  QMenu* mVideo = nullptr;
  QMenu* mView = nullptr;
  QMenu* mHelp = nullptr;
  QAction* mOpenRAWfile = nullptr;
  QAction* mFileInfo = nullptr;
  QAction* mCopyFrame = nullptr;
  QAction* mSaveFrame = nullptr;
  QAction* mSaveAVI = nullptr;
  QAction* mExit = nullptr;
  QAction* mGotoBegin = nullptr;
  QAction* mNextFrame = nullptr;
  QAction* mStart = nullptr;
  QAction* mStop = nullptr;
  QAction* mVideoLoop = nullptr;
  QAction* mHistogram = nullptr;
  QAction* mZoomInHidden = nullptr;
  QAction* mZoomIn = nullptr;
  QAction* mZoomOutHidden = nullptr;
  QAction* mZoomOut = nullptr;
  QAction* mZoomOriginalHidden = nullptr;
  QAction* mZoomOriginal = nullptr;
  QAction* mSettings = nullptr;
  QAction* mDebayerMono = nullptr;
  QAction* mDebayerBayer = nullptr;
  QAction* mDebayerNearest = nullptr;
  QAction* mDebayerBin2x2 = nullptr;
  QAction* mDebayerBilinear = nullptr;
  QAction* mDebayerAdaptive = nullptr;
  QAction* mDebayerLaplacian = nullptr;
  QAction* mDebayerPreview = nullptr;
  QAction* mHelpIndex = nullptr;
  QAction* mAbout = nullptr;
  QMenu* ZoomMenu = nullptr;
  QAction* mZoom25 = nullptr;
  QAction* mZoom33 = nullptr;
  QAction* mZoom50 = nullptr;
  QAction* mZoom100 = nullptr;
  QAction* mZoom200 = nullptr;
  QAction* mZoom300 = nullptr;
  QAction* mZoom400 = nullptr;

  QToolBar* ToolBar = nullptr;
  QToolButton* bOpenRAWfile = nullptr;
  QToolButton* bFileInfo = nullptr;
  QToolButton* bCopyFrame = nullptr;
  QToolButton* bSaveFrame = nullptr;
  QToolButton* bSaveAVI = nullptr;
  QToolButton* bGotoBegin = nullptr;
  QToolButton* bNextFrame = nullptr;
  QToolButton* bStart = nullptr;
  QToolButton* bStop = nullptr;
  QToolButton* bZoom = nullptr;
  QToolButton* bZoomIn = nullptr;
  QToolButton* bZoomOut = nullptr;
  QToolButton* bHistogram = nullptr;
  QToolButton* bSettings = nullptr;
  QToolButton* bHelpIndex = nullptr;

  QStatusBar* StatusBar = nullptr;
  QScrollArea* VideoScrollBox = nullptr;
  TVideoPanel* VideoPanel = nullptr;
  QFileDialog* OpenDialog = nullptr;

 public slots:
  void mOpenRAWfileClick();
  void mFileInfoClick();
  void mCopyFrameClick();
  void mSaveFrameClick();
  void mSaveAVIClick();
  void mExitClick();
  void mGotoBeginClick();
  void mNextFrameClick();
  void mStartClick();
  void mStopClick();
  void mVideoLoopClick();
  void mHistogramClick();
  void mZoomInClick();
  void mZoomOutClick();
  void mZoomOriginalClick();
  void bZoomClick();
  // The pop-up's steps other than 100 % (mZoomOriginalClick): each sets its
  // zoom.
  void mZoom25Click();
  void mZoom33Click();
  void mZoom50Click();
  void mZoom200Click();
  void mZoom300Click();
  void mZoom400Click();
  void mSettingsClick();
  // The hidden demosaicing items: each sets its method.
  void mDebayerMonoClick();
  void mDebayerBayerClick();
  void mDebayerNearestClick();
  void mDebayerBin2x2Click();
  void mDebayerBilinearClick();
  void mDebayerAdaptiveClick();
  void mDebayerLaplacianClick();
  void mDebayerPreviewClick();
  void mHelpIndexClick();
  void mAboutClick();
  void FormResize();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Creation steps.
  void CreateMenus();
  void CreateToolBar();
  void CreateVideoArea();
  void CreateStatusBar();
  void CreateOpenDialog();
  void AssignZoomShortcuts();

  // What the session shows through the form.
  void ShowPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                   std::int32_t bits, std::int32_t displayWidth,
                   std::int32_t displayHeight) override;
  void ShowStatus(const QString& text) override;
  void EnableFileCommands(const QString& fileName) override;
  void FileChanged(bool fileOpen) override;
  void UpdateWindow() override;

  QLabel* statusPanel_ = nullptr;
  bool created_ = false;
};

extern TAppForm* AppForm;

#endif
