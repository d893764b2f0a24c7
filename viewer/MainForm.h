// The viewer's main form: the one owner of the viewer's state. It holds the
// open RAW video file with a copy of its header, every frame buffer and
// lookup table (allocated once with the form), the colour-correction object
// and the request flags that the next render serves; it reads frame records
// and renders them through the image library onto its video panel.
//
// The other windows are reached through the narrow interfaces below, which
// each window sets on the form when it is created (tests replace them).
#ifndef VIEWER_MAINFORM_H
#define VIEWER_MAINFORM_H

#include <QCoreApplication>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>

#include "common/BitmapInfo.h"
#include "common/RAWVideo.h"
#include "imaging/colorcorrection_ptr.h"
#include "imaging/debayer.h"
#include "viewer/Export.h"
#include "viewer/RAWFile.h"

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;
class TVideoPanel;
class VideoThread;
struct TRenderBuffers;
struct TRenderFrame;

// What the render needs of the settings dialog.
class IViewerSettings {
 public:
  virtual ~IViewerSettings() = default;
  // Selection of the demosaicing radio group (rgDebayer).
  virtual void SetDebayerSelection(std::int32_t mode) = 0;
  // Positions of the gain sliders tbRed, tbGreen, tbBlue (white balance).
  virtual void SetGainSliders(std::int32_t red, std::int32_t green, std::int32_t blue) = 0;
  virtual void ShowNonModal() = 0;
  virtual void CloseWindow() = 0;
};

// What the render needs of the histogram window.
class IViewerHistogram {
 public:
  virtual ~IViewerHistogram() = default;
  virtual bool IsShown() const = 0;
  virtual void ShowNonModal() = 0;
  // The RAW frame before the 8-bit mapping: Raw8Frame (bits 8) or Raw16Frame
  // (bits 10, 12).
  virtual void UpdateRAW(const void* data, std::int32_t width, bool mono, std::int32_t bits,
                         std::int32_t height) = 0;
  // The shown image: grey samples (mono) or B, G, R pixels.
  virtual void UpdateRGB(const std::uint8_t* image, std::int32_t width, bool mono,
                         std::int32_t height) = 0;
  // Another file opened, or none is open: nothing of a frame shown before stays.
  virtual void Clear() {}
};

// The file-information and about windows.
class IViewerWindow {
 public:
  virtual ~IViewerWindow() = default;
  virtual void ShowNonModal() = 0;
  virtual int ShowModal() = 0;
  // Another file opened, or none is open: a window that describes the file
  // shows the one open now.
  virtual void FileChanged() {}
};

class TAppForm : public QMainWindow {
  Q_OBJECT
 public:
  // The form's design caption, and the caption with a file open (+ name).
  static constexpr const char* DesignCaption = "QDV47B5 Viewer and Convertor";
  static constexpr const char* FileCaption = "QDV47B5 RAW video viewer and convertor : ";

  explicit TAppForm(QWidget* parent = nullptr);
  ~TAppForm() override;

  // Creation handler: fields, tables, palette, shortcuts; with exactly one
  // argument after the program name, opens that file and reads its first
  // frame.
  void FormCreate(const QStringList& arguments = QCoreApplication::arguments());
  // Close handler: stops playback, closes the file, frees the correction.
  void FormClose();

  // --- RAW file reading ----------------------------------------------------
  void OpenRAWFile();
  bool ReadRAWHeader();
  bool ReadNextFrame();
  bool RewindRAWFile();
  void EnableFileCommands();
  bool FileOpen() const { return File.IsOpen(); }
  // How the last ReadNextFrame ended (a record too long for the buffer, or
  // too short for its frame, is told apart from the end of the file).
  TRecordRead LastRecordRead() const { return lastRecordRead_; }
  // Whether the last read met the end of the file: no complete record left,
  // or a last record cut short (where a killed capture stopped).
  bool ReadReachedEnd() const {
    return lastRecordRead_ == TRecordRead::EndOfFile || lastRecordRead_ == TRecordRead::Truncated;
  }

  // --- Rendering -------------------------------------------------------------
  bool RenderFrame();
  // Repaints the form: renders the current frame once (a file open), then
  // the panel shows it. Qt's own paint events only draw the panel's copy.
  void FormPaint();
  void RepaintForm();
  void SetDebayerMode(std::int32_t mode);
  void SetZoom(std::int32_t code);
  void CenterVideoPanel();
  void WhiteBalance8(std::uint8_t* image, std::int32_t pixels);
  void WhiteBalanceRAW(const std::uint16_t* frame, std::int32_t width, std::int32_t height,
                       std::int32_t bits);

  // --- Settings handed over by the settings dialog -------------------------
  // Correction on or off; when on, the ten values in the order of
  // SetColorCorrectionParams. Repaints.
  void SetImageCorrection(bool on, double gainR, double offsetR, double gainG, double offsetG,
                          double gainB, double offsetB, double hueShift, double saturationGain,
                          double lightnessGain, double lightnessOffset);
  // The display lookup (LUT12, LUT10) from a curve. Repaints.
  void SetMonoCurve(std::int32_t brightness, std::int32_t contrast, std::int32_t gamma);
  // The six RAW tables from three curves, red first. Repaints.
  void SetRGBCurves(std::int32_t redBrightness, std::int32_t redContrast, std::int32_t redGamma,
                    std::int32_t greenBrightness, std::int32_t greenContrast,
                    std::int32_t greenGamma, std::int32_t blueBrightness, std::int32_t blueContrast,
                    std::int32_t blueGamma);
  // LUT12[i] = i >> 4, LUT10[i] = i >> 2 (no repaint).
  void DefaultLookupTables();
  // The six RAW tables: identity.
  void DefaultRGBTables();

  // The file-information lines: "No RAW file loaded" without a file,
  // otherwise the name and the header's recording parameters.
  void ListFileInfo(QStringList& lines) const;

  // --- Playback ------------------------------------------------------------
  // Stops playback, then starts a new playback thread.
  void StartPlayback();
  // Asks the playback thread to end and waits until it has ended, painting
  // the frame it waits for meanwhile; a thread that ended by itself is
  // forgotten. Whatever touches the file afterwards has it to itself.
  void StopPlayback();
  // Whether a playback thread runs (one that has ended is forgotten first).
  bool PlaybackRunning();

  // One read of the playback thread, under the frame lock: the next record,
  // or with VideoLoop on at the end of the file the header and the first
  // record again. Shows nothing and closes nothing (the GUI thread does that
  // once the thread has ended).
  enum class TPlaybackRead { Frame, End, HeaderLost, BadRecord };
  TPlaybackRead ReadForPlayback();
  // The GUI thread's part when the playback thread has ended by itself.
  void PlaybackEnded();

  // --- Export -----------------------------------------------------------------
  // Writes the frame a conversion render asked for to the open AVI part.
  bool WriteAVIFrame(const std::uint8_t* image, std::uint32_t bytes);
  bool CopyFrameToClipboard(std::int32_t width, std::int32_t height, const std::uint8_t* image,
                            const TBitmapInfo& info);
  bool SaveFrameBMP(const std::uint8_t* image, std::int32_t width, std::int32_t height);
  // Whether an AVI conversion runs (its messages are processed between
  // frames; commands that would move the file or change the frame size are
  // refused meanwhile).
  bool Converting() const { return converting_; }

  // The status bar's one panel.
  QString StatusText() const;

  // --- Fields ------------------------------------------------------------
  std::int32_t CurrentDebayerMode = DEBAYER_MONO;
  ColorCorrectionPtr ColorCorrectionObject;
  bool CorrectionOn = false;
  std::int32_t Zoom = 1;
  bool CopyPending = false;
  bool SavePending = false;
  bool AVIRecording = false;
  std::int32_t BMPCounter = 0;
  std::int32_t AVICounter = 0;
  TBitmapInfo FrameBitmapInfo{};
  std::uint8_t LUT12[4096] = {};
  std::uint8_t LUT10[1024] = {};
  // Red, green, blue.
  std::uint16_t RAWTable12[3][4096] = {};
  std::uint16_t RAWTable10[3][1024] = {};
  QString FileName;
  TRAWFile File;
  alignas(8) RAWVideoHeader Header{};
  std::uint32_t FrameBytes = 0;
  std::unique_ptr<std::uint8_t[]> RawBuffer;  // RawBufferSize bytes
  std::unique_ptr<std::uint16_t[]> Pixels16;  // Pixels16Count samples
  std::unique_ptr<std::uint8_t[]> Pixels8;    // RawBufferSize samples
  std::unique_ptr<std::uint8_t[]> Image24;    // Image24Size bytes
  std::unique_ptr<VideoThread> Player;        // the playback thread, when one runs
  AVIWriter Writer;                           // the AVI part being written
  QString WorkDir;                            // always ends with "/"
  std::int32_t FrameCounter = 0;
  bool WhiteBalance8Pending = false;
  bool WhiteBalanceRAWPending = false;
  bool VideoLoop = true;
  bool RAWCorrectionOn = false;

  // The other windows, set when they are created.
  IViewerSettings* Settings = nullptr;
  IViewerHistogram* HistogramView = nullptr;
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

  // The status panel's text for a frame counter.
  static QString FrameCounterText(std::int32_t counter);
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
  void ClearFrameBuffers();
  void EnsureWorkDirSlash();

  // Render steps.
  TRenderBuffers RenderBuffers() const;
  bool DecodeFrame(std::int32_t width, std::int32_t height, TRenderFrame& frame);
  void RAWSteps(const TRenderFrame& frame);
  void ShowFrameCounter();
  void DrawPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                   std::int32_t bits);
  void WhiteBalanceFrame(const TRenderFrame& frame);
  void ServeExportRequests(const TRenderFrame& frame);
  bool HistogramShown() const;
  bool RenderLocked();
  // The viewer's failures: a box captioned "Error" with an OK button.
  static void ShowErrorBox(const QString& text);
  void ShowExportError();

  // Reading steps.
  bool LoadRAWHeader();
  void ForgetPlayer();
  // Nothing of a frame shown before stays: picture, counter, histograms; the
  // caption and the file information name the file open now, or none.
  void ShowFileChange();
  // Whether the open file gives frames to act on; otherwise says why ("File
  // not open!", or a header without a decoder) and returns false.
  bool FileGivesFrames();
  // Why a render drew nothing: no file, a header without a decoder, or a
  // record that could not be read or does not fit the header.
  QString NoFrameText() const;

  // Conversion steps.
  struct TConversion;
  enum class TConversionEnd { Done, Failed, Closed };
  bool BeginConversion(TConversion& c);
  // The header decodes and gives a picture that the mode's demosaic makes.
  bool HeaderRenders(const TConversion& c);
  bool OpenAVIPart(TConversion& c);
  TConversionEnd ConvertRecords(TConversion& c);
  // "Error write file:" with the part's name and the frames stored: in the
  // part (after its failed write or close) and in the parts before it.
  QString WriteErrorText(const TConversion& c) const;
  void EndConversion(TConversion& c, TConversionEnd end);

  QLabel* statusPanel_ = nullptr;
  TRecordRead lastRecordRead_ = TRecordRead::EndOfFile;
  // Held by the playback thread around each read and by every render and
  // header look-up of the GUI thread (recursive: a render may start another
  // one through the settings dialog).
  mutable std::recursive_mutex frameLock_;
  // A conversion render's frame: asked for, and whether it was written.
  bool aviFramePending_ = false;
  bool aviFrameWritten_ = false;
  bool converting_ = false;
  // A BMP that could not be written, reported once the render is over.
  QString exportError_;
  bool created_ = false;
  bool closed_ = false;
};

extern TAppForm* AppForm;

#endif
