// The viewer's session: its whole state without a widget. It holds the open
// RAW video file with a copy of its header, every frame buffer and lookup
// table (allocated once with the session), the colour-correction object,
// the request flags that the next render serves, the AVI writer and the
// playback thread; it reads frame records, renders them through the image
// library into its buffers and hands the picture to the main window through
// IViewerView. The main form's commands, the playback thread and the AVI
// conversion all drive the session.
#ifndef VIEWER_VIEWERSESSION_H
#define VIEWER_VIEWERSESSION_H

#include <QObject>
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
#include "viewer/Playback.h"
#include "viewer/RAWFile.h"
#include "viewer/ViewerView.h"

struct TRenderBuffers;
struct TRenderFrame;

class TViewerSession {
 public:
  // The view must outlive the session.
  explicit TViewerSession(IViewerView& view);
  ~TViewerSession();
  TViewerSession(const TViewerSession&) = delete;
  TViewerSession& operator=(const TViewerSession&) = delete;

  // The state at start: no file, the working directory workDir, default
  // tables, grey palette, a new colour-correction object.
  void Create(const QString& workDir);
  // Stops playback, closes the file, frees the correction. Once only.
  void Close();
  bool Closed() const { return closed_; }

  // --- RAW file reading ----------------------------------------------------
  // Opens FileName, reads its header, enables the file commands.
  void OpenRAWFile();
  bool ReadRAWHeader();
  bool ReadNextFrame();
  bool RewindRAWFile();
  bool FileOpen() const { return File.IsOpen(); }
  // How the last ReadNextFrame ended (a record too long for the buffer, or
  // too short for its frame, is told apart from the end of the file).
  TRecordRead LastRecordRead() const { return lastRecordRead_; }
  // Whether the last read met the end of the file: no complete record left,
  // or a last record cut short (where a killed capture stopped).
  bool ReadReachedEnd() const {
    return lastRecordRead_ == TRecordRead::EndOfFile || lastRecordRead_ == TRecordRead::Truncated;
  }
  // Whether the open file gives frames to act on; otherwise says why ("File
  // not open!", or a header without a decoder) and returns false.
  bool FileGivesFrames();

  // --- Commands --------------------------------------------------------------
  // Next Frame: reads and shows the next record (only shows the current one
  // while playback runs); says why when there is none.
  void NextFrame();
  // Go to begin: stops playback and shows record 1 again.
  void GotoBegin();
  // Copy Frame and Save Frame: served by the render they start.
  void CopyFrame();
  void SaveFrame();
  // Video Loop on or off; returns the new state.
  bool ToggleVideoLoop();
  // Shows the histogram window and fills it with a render.
  void ShowHistogram();

  // --- Rendering -------------------------------------------------------------
  bool RenderFrame();
  // Renders the current frame once (a file open), then the window repaints.
  void RepaintForm();
  void SetDebayerMode(std::int32_t mode);
  void SetZoom(std::int32_t code);
  void WhiteBalance8(std::uint8_t* image, std::int32_t pixels);
  void WhiteBalanceRAW(const std::uint16_t* frame, std::int32_t width, std::int32_t height,
                       std::int32_t bits);
  // The status panel's text for a frame counter.
  static QString FrameCounterText(std::int32_t counter);

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

  // --- Export -----------------------------------------------------------------
  bool CopyFrameToClipboard(std::int32_t width, std::int32_t height, const std::uint8_t* image,
                            const TBitmapInfo& info);
  bool SaveFrameBMP(const std::uint8_t* image, std::int32_t width, std::int32_t height);
  // A render that writes the current record's frame to the open AVI part;
  // whether the frame was written.
  bool RenderAVIFrame();
  // Whether an AVI conversion runs (its messages are processed between
  // frames; commands that would move the file or change the frame size are
  // refused meanwhile). Set by the conversion.
  bool Converting() const { return converting_; }
  void SetConverting(bool on) { converting_ = on; }
  void EnsureWorkDirSlash();
  // What the conversion tells the user, through the view.
  void ReportError(const QString& text);
  void ReportMessage(const QString& text);
  void ClearStatus();

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
  AVIWriter Writer;                           // the AVI part being written
  std::unique_ptr<VideoThread> Player;        // the playback thread, when one runs
  QString WorkDir;                            // always ends with "/"
  std::int32_t FrameCounter = 0;
  bool WhiteBalance8Pending = false;
  bool WhiteBalanceRAWPending = false;
  bool VideoLoop = true;
  bool RAWCorrectionOn = false;

  // The windows the render feeds, set when they are created.
  IViewerSettings* Settings = nullptr;
  IViewerHistogram* HistogramView = nullptr;

 private:
  // Reading steps.
  void ClearFrameBuffers();
  bool LoadRAWHeader();
  // Nothing of a frame shown before stays: picture, counter, histograms; the
  // caption and the file information name the file open now, or none.
  void ShowFileChange();
  // Why a render drew nothing: no file, a header without a decoder, or a
  // record that could not be read or does not fit the header.
  QString NoFrameText() const;
  // The header names a stream format the render decodes.
  bool HeaderDecodes() const;

  // Render steps.
  TRenderBuffers RenderBuffers() const;
  bool RenderLocked();
  bool DecodeFrame(std::int32_t width, std::int32_t height, TRenderFrame& frame);
  void RAWSteps(const TRenderFrame& frame);
  void DrawPicture(const TRenderFrame& frame);
  void WhiteBalanceFrame(const TRenderFrame& frame);
  void ServeExportRequests(const TRenderFrame& frame);
  bool HistogramShown() const;
  void ShowExportError();

  // Playback steps. One read of the playback thread, under the frame lock:
  // the next record, or with VideoLoop on at the end of the file the header
  // and the first record again. Shows nothing and closes nothing (the GUI
  // thread does that once the thread has ended).
  TPlaybackRead ReadForPlayback();
  // The GUI thread's part when the playback thread has ended.
  void ForgetPlayer();

  IViewerView& view_;
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
  bool closed_ = false;
  // The GUI thread's receiver of the playback thread's hand-overs; they are
  // dropped once the session is gone.
  QObject guiReceiver_;
};

#endif
