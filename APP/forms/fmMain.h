// The main window: menus, tool bar, the live-video area, the status bar, the
// three timers and the entry point for the colour-correction tool's answer.
// It keeps no camera or picture state of its own: every command forwards to
// the controller AppCommand.
#ifndef APP_FMMAIN_H
#define APP_FMMAIN_H

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>

#include "APP/control/Commands.h"
#include "APP/forms/PresetFiles.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class TCopyDataServer;
class TVideoPanel;

// The local socket on which the colour-correction tool sends its colour
// matrix. A message is a little-endian u32 byte count followed by that many
// bytes; every message is answered with the little-endian u32 2006.
inline constexpr const char* CopyDataServerName = "QDV47B5.CopyData";
inline constexpr std::int32_t CopyDataResult = 2006;
inline constexpr std::uint32_t CorrectionMatrixBytes = 96;

class TMainForm : public QMainWindow, public IMainView {
  Q_OBJECT
 public:
  static constexpr int PanelCount = StatusPanelCount;

  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // IMainView. Status bar panels 0 to 6 (an index out of range is ignored,
  // its text is empty), the two timers the controller switches and the video
  // panel: fill mode, picture and centring.
  void SetPanel(int index, const QString& text) override;
  QString Panel(int index) const override;
  void RepaintStatusBar() override;
  void SetFPSTimerEnabled(bool enabled) override;
  void SetStatisticsTimer(int intervalMs, bool enabled) override;
  void SetVideoPanelFill(bool fill) override;
  void ShowPicture(const std::uint8_t* picture, int width, int height, int bits, int drawnWidth,
                   int drawnHeight) override;
  void CenterVideoPanel() override;

  // The colour-correction tool's message: size and data of its block. Exactly
  // 96 bytes of twelve finite doubles set the correction matrix; anything
  // else is ignored. The answer is always 2006.
  std::int32_t WMCopyData(std::uint32_t size, const void* data);
  // (Re)opens the copy-data socket under a name; false when it cannot listen
  // (another copy of the program serves that name, say).
  bool ListenCopyData(const QString& name);
  QString CopyDataName() const;
  // Where an accepted matrix goes: the controller's SetCorrectionMatrix
  // unless replaced (tests).
  std::function<void(const double*)> CorrectionMatrixSink;

  // Creation handler, run once the global MainForm refers to this window:
  // zoom shortcuts, the controller's main view and Init, the CPU timer, the
  // copy-data socket.
  void FormCreate();

  // Menu bar and menus.
  QMenuBar* MainMenu = nullptr;
  QMenu* mFile = nullptr;
  QMenu* mDevice = nullptr;
  QMenu* mHelp = nullptr;
  QMenu* ZoomMenu = nullptr;

  // File menu.
  QAction* mCopy = nullptr;
  QAction* mSaveFrame = nullptr;
  QAction* mSaveVideo = nullptr;
  QAction* LoadPreset1 = nullptr;
  QAction* SavePreset1 = nullptr;
  QAction* mSaveRAWVideo = nullptr;
  QAction* mN1 = nullptr;
  QAction* mExit = nullptr;
  // Device menu.
  QAction* mStartVideo = nullptr;
  QAction* mStopVideo = nullptr;
  QAction* mN4 = nullptr;
  QAction* mHistogramRAW = nullptr;
  QAction* mHistogramRGB = nullptr;
  QAction* mN2 = nullptr;
  QAction* mZoomInHidden = nullptr;
  QAction* mZoomIn = nullptr;
  QAction* mZoomOutHidden = nullptr;
  QAction* mZoomOut = nullptr;
  QAction* mZoomOriginalHidden = nullptr;
  QAction* mZoomOriginal = nullptr;
  QAction* mN3 = nullptr;
  QAction* mSettings = nullptr;
  QAction* mN6 = nullptr;
  QAction* mDebayerMono = nullptr;
  QAction* mDebayerBayer = nullptr;
  QAction* mDebayerNearest = nullptr;
  QAction* mDebayerBin2x2 = nullptr;
  QAction* mDebayerBilinear = nullptr;
  QAction* mDebayerAdaptive = nullptr;
  QAction* mDebayerLaplacian = nullptr;
  QAction* mDebayerPreview = nullptr;
  // Help menu.
  QAction* mHelpIndex = nullptr;
  QAction* mN5 = nullptr;
  QAction* mAbout = nullptr;
  // Zoom pop-up menu.
  QAction* mZoom25 = nullptr;
  QAction* mZoom33 = nullptr;
  QAction* mZoom50 = nullptr;
  QAction* mZoom100 = nullptr;
  QAction* mZoom200 = nullptr;
  QAction* mZoom300 = nullptr;
  QAction* mZoom400 = nullptr;

  // Tool bar, left to right.
  QToolBar* ToolBar = nullptr;
  QList<QIcon> ImageList;
  QToolButton* btRun = nullptr;
  QToolButton* btStop = nullptr;
  QAction* btSP1 = nullptr;
  QToolButton* btCopy = nullptr;
  QToolButton* btFrameCapture = nullptr;
  QToolButton* btVideoCapture = nullptr;
  QToolButton* btRAWCapture = nullptr;
  QAction* btSP3 = nullptr;
  QToolButton* btZoom = nullptr;
  QToolButton* btZoomOut = nullptr;
  QToolButton* btZoomIn = nullptr;
  QWidget* btSP2 = nullptr;
  QToolButton* btHistogramRAW = nullptr;
  QToolButton* btHistogramRGB = nullptr;
  QWidget* btSP4 = nullptr;
  QToolButton* btSettings = nullptr;
  QWidget* btSP5 = nullptr;
  QToolButton* btHelp = nullptr;

  // The live-video area and the status bar.
  QScrollArea* VideoScrollBox = nullptr;
  TVideoPanel* VideoPanel = nullptr;
  QStatusBar* StatusBar = nullptr;

  QTimer* tmCPULoad = nullptr;
  QTimer* tmFPS = nullptr;
  QTimer* tmStatistics = nullptr;

 public slots:
  void mCopyClick();
  void mSaveFrameClick();
  void mSaveVideoClick();
  void LoadPreset1Click();
  void SavePreset1Click();
  void mSaveRAWVideoClick();
  void mExitClick();
  void mStartVideoClick();
  void mStopVideoClick();
  void mHistogramRAWClick();
  void mHistogramRGBClick();
  void mZoomInClick();
  void mZoomOutClick();
  void mZoomOriginalClick();
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
  void btRAWCaptureClick();
  // The pop-up's items other than 100 % (mZoomOriginalClick): each sets its
  // percentage.
  void mZoom25Click();
  void mZoom33Click();
  void mZoom50Click();
  void mZoom200Click();
  void mZoom300Click();
  void mZoom400Click();
  void tmCPULoadTimer();
  void tmFPSTimer();
  void tmStatisticsTimer();
  void FormResize();
  // Esc (virtual key 27) stops a capture loop or live video; other keys are
  // ignored. Returns whether the key was used.
  bool FormKeyDown(int key);
  // Close handler: CPU timer off, the controller's Done, the last preset.
  void FormClose();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolBar();
  void CreateVideoArea();
  void CreateStatusBar();
  void CreateTimers();
  void AssignZoomShortcuts();

  QLabel* panels_[PanelCount] = {};
  TCopyDataServer* copyDataServer_ = nullptr;
  bool created_ = false;
};

extern TMainForm* MainForm;

#endif
