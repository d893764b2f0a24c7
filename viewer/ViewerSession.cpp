#include "viewer/ViewerSession.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "common/BMPFile.h"
#include "common/Clipboard.h"
#include "common/DebayerModes.h"
#include "common/Format.h"
#include "common/RenderCore.h"
#include "common/Zoom.h"
#include "imaging.h"
#include "viewer/CurveTables.h"
#include "viewer/RenderSteps.h"

TViewerSession::TViewerSession(IViewerView& view) : view_(view) {
  // The frame buffers, allocated once with the session; nothing is
  // allocated per frame.
  RawBuffer = std::make_unique<std::uint8_t[]>(RawBufferSize);
  Pixels16 = std::make_unique<std::uint16_t[]>(Pixels16Count);
  Pixels8 = std::make_unique<std::uint8_t[]>(RawBufferSize);
  Image24 = std::make_unique<std::uint8_t[]>(Image24Size);
}

TViewerSession::~TViewerSession() {
  // No thread outlives the buffers it reads into.
  StopPlayback();
}

// --- Start and end ---------------------------------------------------------------

void TViewerSession::Create(const QString& workDir) {
  FileName.clear();
  WorkDir = workDir;
  EnsureWorkDirSlash();
  File.Close();
  FrameBytes = 0;
  CurrentDebayerMode = DEBAYER_MONO;
  ColorCorrectionObject = MakeColorCorrection();
  CorrectionOn = false;
  Zoom = ZoomCodeOriginal;
  BMPCounter = AVICounter = 0;
  CopyPending = SavePending = false;
  WhiteBalance8Pending = WhiteBalanceRAWPending = false;
  VideoLoop = true;
  AVIRecording = false;
  RAWCorrectionOn = false;
  DefaultLookupTables();
  DefaultRGBTables();
  FillGreyPalette(FrameBitmapInfo);
  Player = nullptr;
}

void TViewerSession::Close() {
  if (closed_) return;
  closed_ = true;
  StopPlayback();
  CorrectionOn = false;
  if (File.IsOpen()) {
    File.Close();
    FileName.clear();
  }
  ColorCorrectionObject.reset();
}

void TViewerSession::EnsureWorkDirSlash() {
  if (!WorkDir.isEmpty() && !WorkDir.endsWith(QLatin1Char('/'))) WorkDir += QLatin1Char('/');
}

void TViewerSession::ReportError(const QString& text) { view_.ShowError(text); }
void TViewerSession::ReportMessage(const QString& text) { view_.ShowMessage(text); }
void TViewerSession::ClearStatus() { view_.ShowStatus(QString()); }

// --- Reading the file ----------------------------------------------------------

void TViewerSession::ClearFrameBuffers() {
  // A new file never shows the picture of the one before (a short first
  // record, or a size the demosaic refuses).
  std::memset(RawBuffer.get(), 0, RawBufferSize);
  std::memset(Pixels16.get(), 0, Pixels16Count * sizeof(std::uint16_t));
  std::memset(Pixels8.get(), 0, RawBufferSize);
  std::memset(Image24.get(), 0, Image24Size);
  FrameBytes = 0;
}

void TViewerSession::OpenRAWFile() {
  File.Close();
  // Whatever follows, nothing of the file before stays on screen.
  ShowFileChange();
  if (!File.Open(FileName)) {
    view_.ShowError(QStringLiteral("Error open file:") + FileName);
    return;
  }
  ClearFrameBuffers();
  if (!ReadRAWHeader()) return;
  view_.EnableFileCommands(FileName);
  ShowFileChange();
}

void TViewerSession::ShowFileChange() {
  if (HistogramView != nullptr) HistogramView->Clear();
  view_.FileChanged(File.IsOpen());
}

bool TViewerSession::HeaderDecodes() const {
  // The playback thread may be reading the header again.
  const std::lock_guard<std::recursive_mutex> lock(frameLock_);
  return StreamFormatDecodes(static_cast<std::uint32_t>(Header.StreamStatus));
}

bool TViewerSession::FileGivesFrames() {
  if (File.IsOpen() && HeaderDecodes()) return true;
  view_.ShowError(NoFrameText());
  return false;
}

QString TViewerSession::NoFrameText() const {
  if (!File.IsOpen()) return QStringLiteral("File not open!");
  if (!HeaderDecodes()) return QStringLiteral("Error RAW header:") + FileName;
  return QStringLiteral("Error read file:") + FileName;
}

bool TViewerSession::LoadRAWHeader() {
  RAWVideoHeader header;
  const bool whole = File.Read(&header, sizeof header) == std::int64_t{sizeof header};
  // A header whose frames do not fit the buffers is unreadable like a short
  // one: nothing may be decoded past the buffers' ends.
  if (!whole || !HeaderFitsBuffers(header)) return false;
  Header = header;
  FrameCounter = 0;
  return true;
}

bool TViewerSession::ReadRAWHeader() {
  if (!File.IsOpen()) return false;
  if (LoadRAWHeader()) return true;
  File.Close();
  ShowFileChange();
  view_.ShowError(QStringLiteral("Error read file:") + FileName);
  return false;
}

bool TViewerSession::ReadNextFrame() {
  if (!File.IsOpen()) {
    lastRecordRead_ = TRecordRead::Failed;
    return false;
  }
  lastRecordRead_ = File.ReadRecord(RawBuffer.get(), RawBufferSize, FrameBytes);
  if (lastRecordRead_ != TRecordRead::Done) return false;
  ++FrameCounter;
  // A record shorter than the frame its header describes (a header of
  // another depth or size) would be drawn sheared: it is read, and refused.
  // A longer one gives its first frame's bytes.
  const std::uint64_t needed = FrameBytesNeeded(static_cast<std::uint32_t>(Header.StreamStatus),
                                                Header.Width, Header.Height);
  if (FrameBytes >= needed) return true;
  lastRecordRead_ = TRecordRead::Short;
  return false;
}

bool TViewerSession::RewindRAWFile() {
  if (!File.IsOpen()) return false;
  if (!File.Seek(0)) return false;
  if (!ReadRAWHeader()) return false;
  return ReadNextFrame();
}

// --- Commands --------------------------------------------------------------------

void TViewerSession::NextFrame() {
  if (converting_) return;
  if (!FileGivesFrames()) return;
  if (PlaybackRunning()) {
    RenderFrame();
    return;
  }
  if (ReadNextFrame())
    RenderFrame();
  else
    view_.ShowError(QStringLiteral("Error read file:") + FileName);
}

void TViewerSession::GotoBegin() {
  if (converting_) return;
  if (!FileGivesFrames()) return;
  StopPlayback();
  if (RewindRAWFile())
    RepaintForm();
  else
    view_.ShowError(QStringLiteral("Error read file:") + FileName);
}

// Copy and save are served by the render they start. A render that draws
// nothing has no frame for them: the request is said to fail rather than
// kept for a frame of some later file.
void TViewerSession::CopyFrame() {
  CopyPending = true;
  if (RenderFrame()) return;
  CopyPending = false;
  view_.ShowError(NoFrameText());
}

void TViewerSession::SaveFrame() {
  SavePending = true;
  if (RenderFrame()) return;
  SavePending = false;
  view_.ShowError(NoFrameText());
}

bool TViewerSession::ToggleVideoLoop() {
  // The playback thread looks at it when its read reaches the end.
  const std::lock_guard<std::recursive_mutex> lock(frameLock_);
  VideoLoop = !VideoLoop;
  return VideoLoop;
}

void TViewerSession::ShowHistogram() {
  if (!File.IsOpen()) {
    view_.ShowError(QStringLiteral("File not open!"));
    return;
  }
  if (HistogramView != nullptr) HistogramView->ShowNonModal();
  // The render fills the window at once; one that draws nothing says why.
  const bool drawn = RenderFrame();
  view_.UpdateWindow();
  if (!drawn) view_.ShowError(NoFrameText());
}

// --- Rendering ---------------------------------------------------------------------

bool TViewerSession::HistogramShown() const {
  return HistogramView != nullptr && HistogramView->IsShown();
}

TRenderBuffers TViewerSession::RenderBuffers() const {
  return {Pixels16.get(), Pixels8.get(), Image24.get()};
}

bool TViewerSession::DecodeFrame(std::int32_t width, std::int32_t height, TRenderFrame& frame) {
  // The size is within the buffers (HeaderFitsBuffers).
  if (!UnpackFrame(Header.StreamStatus, RawBuffer.get(), FrameBytes, width, height, RenderBuffers(),
                   frame))
    return false;
  if (frame.rawBits > 8) RAWSteps(frame);
  MapFrameTo8Bit(frame, {LUT10, LUT12}, RenderBuffers());
  return true;
}

void TViewerSession::RAWSteps(const TRenderFrame& frame) {
  const bool twelve = frame.rawBits == 12;
  if (WhiteBalanceRAWPending) {
    WhiteBalanceRAWPending = false;
    WhiteBalanceRAW(Pixels16.get(), frame.width, frame.height, frame.rawBits);
  }
  if (RAWCorrectionOn) {
    const std::uint16_t* red = twelve ? RAWTable12[0] : RAWTable10[0];
    const std::uint16_t* green = twelve ? RAWTable12[1] : RAWTable10[1];
    const std::uint16_t* blue = twelve ? RAWTable12[2] : RAWTable10[2];
    ApplyRAWChannelTables(Pixels16.get(), frame.width, frame.height, blue, green, red);
  }
}

QString TViewerSession::FrameCounterText(std::int32_t counter) {
  return FormatText("Frame:%d", counter);
}

void TViewerSession::DrawPicture(const TRenderFrame& frame) {
  view_.ShowPicture(frame.picture, frame.width, frame.height, frame.pictureBits,
                    static_cast<std::int32_t>(DisplayExtent(frame.width, Zoom)),
                    static_cast<std::int32_t>(DisplayExtent(frame.height, Zoom)));
}

void TViewerSession::ServeExportRequests(const TRenderFrame& frame) {
  // Only the render a conversion drives writes a frame: a paint, a setting
  // change or a copy during the conversion would repeat the record.
  if (AVIRecording && aviFramePending_) {
    aviFramePending_ = false;
    aviFrameWritten_ = Writer.WriteFrame(frame.picture, FrameBitmapInfo.bmiHeader.biSizeImage);
  }
  if (CopyPending) {
    CopyPending = false;
    WidenGreyPicture(frame, RenderBuffers(), FrameBitmapInfo.bmiHeader);
    CopyFrameToClipboard(frame.width, frame.height, Image24.get(), FrameBitmapInfo);
  }
  if (SavePending) {
    SavePending = false;
    WidenGreyPicture(frame, RenderBuffers(), FrameBitmapInfo.bmiHeader);
    SaveFrameBMP(Image24.get(), frame.width, frame.height);
  }
}

bool TViewerSession::RenderFrame() {
  bool drawn = false;
  {
    // Never while the playback thread reads into RawBuffer or Header.
    const std::lock_guard<std::recursive_mutex> lock(frameLock_);
    drawn = RenderLocked();
  }
  ShowExportError();
  return drawn;
}

bool TViewerSession::RenderLocked() {
  if (!File.IsOpen()) return false;
  TRenderFrame frame;
  if (!DecodeFrame(Header.Width, Header.Height, frame)) return false;
  view_.ShowStatus(FrameCounterText(FrameCounter));
  if (HistogramShown())
    HistogramView->UpdateRAW(frame.raw, frame.width, CurrentDebayerMode == DEBAYER_MONO,
                             frame.rawBits, frame.height);
  // A refusal (odd or too small sizes) leaves Image24 as it was, and that is
  // drawn (but not written as a frame of the record).
  DemosaicFrame(frame, CurrentDebayerMode, RenderBuffers());
  WhiteBalanceFrame(frame);
  if (frame.pictureBits == 24 && CorrectionOn && ColorCorrectionObject)
    ApplyColorCorrection(ColorCorrectionObject.get(), Image24.get(), frame.width, frame.height);

  FillTopDownHeader(FrameBitmapInfo.bmiHeader, frame.width, frame.height, frame.pictureBits);
  DrawPicture(frame);
  if (!frame.demosaiced) aviFramePending_ = false;
  ServeExportRequests(frame);
  if (HistogramShown())
    HistogramView->UpdateRGB(frame.picture, frame.width, frame.pictureBits == 8, frame.height);
  return true;
}

// A pending 8-bit white balance reads a colour picture; in grey it is dropped.
void TViewerSession::WhiteBalanceFrame(const TRenderFrame& frame) {
  if (!WhiteBalance8Pending) return;
  WhiteBalance8Pending = false;
  if (frame.pictureBits == 24) WhiteBalance8(Image24.get(), frame.width * frame.height);
}

// A repaint renders at once rather than at Qt's next paint, so the caller's
// frame is drawn before it goes on; the window's own paint then only draws
// the picture it was given.
void TViewerSession::RepaintForm() {
  if (File.IsOpen()) RenderFrame();
  view_.UpdateWindow();
}

void TViewerSession::SetDebayerMode(std::int32_t mode) {
  if (converting_) {
    // The conversion's frame size and depth stay: the dialog shows the mode
    // in force again.
    if (Settings != nullptr) Settings->SetDebayerSelection(CurrentDebayerMode);
    return;
  }
  CurrentDebayerMode = KnownDebayerMode(mode);
  if (Settings != nullptr) Settings->SetDebayerSelection(CurrentDebayerMode);
  RepaintForm();
}

void TViewerSession::SetZoom(std::int32_t code) {
  Zoom = ValidZoom(code);
  if (File.IsOpen()) RepaintForm();
}

void TViewerSession::WhiteBalance8(std::uint8_t* image, std::int32_t pixels) {
  double gOverR = 0, gOverB = 0;
  WhiteBalanceRGB24(image, pixels, &gOverR, &gOverB);
  double gains[3];  // red, green, blue
  if (!WhiteBalanceGains(gOverR, gOverB, gains)) return;
  auto slider = [](double gain) {
    return static_cast<std::int32_t>(std::min(gain, 2.0) * 100 + 0.5);
  };
  if (Settings != nullptr)
    Settings->SetGainSliders(slider(gains[0]), slider(gains[1]), slider(gains[2]));
}

void TViewerSession::WhiteBalanceRAW(const std::uint16_t* frame, std::int32_t width,
                                     std::int32_t height, std::int32_t bits) {
  if (bits != 10 && bits != 12) return;
  double gOverR = 0, gOverB = 0;
  WhiteBalanceBayer16Bit_GBRG(frame, width, height, &gOverR, &gOverB);
  double gains[3];  // red, green, blue
  if (!WhiteBalanceGains(gOverR, gOverB, gains)) return;
  for (int c = 0; c < 3; ++c) {
    BuildGainTable(RAWTable12[c], 4095, gains[c]);
    BuildGainTable(RAWTable10[c], 1023, gains[c]);
  }
}

// --- Settings handed over by the settings dialog ---------------------------------------

void TViewerSession::SetImageCorrection(bool on, double gainR, double offsetR, double gainG,
                                        double offsetG, double gainB, double offsetB,
                                        double hueShift, double saturationGain,
                                        double lightnessGain, double lightnessOffset) {
  CorrectionOn = on;
  if (on)
    SetColorCorrectionParams(ColorCorrectionObject.get(), gainR, offsetR, gainG, offsetG, gainB,
                             offsetB, hueShift, saturationGain, lightnessGain, lightnessOffset);
  RepaintForm();
}

void TViewerSession::SetMonoCurve(std::int32_t brightness, std::int32_t contrast,
                                  std::int32_t gamma) {
  BuildCurveTable8(brightness, contrast, gamma, LUT12, 4096);
  BuildCurveTable8(brightness, contrast, gamma, LUT10, 1024);
  RepaintForm();
}

void TViewerSession::SetRGBCurves(std::int32_t redBrightness, std::int32_t redContrast,
                                  std::int32_t redGamma, std::int32_t greenBrightness,
                                  std::int32_t greenContrast, std::int32_t greenGamma,
                                  std::int32_t blueBrightness, std::int32_t blueContrast,
                                  std::int32_t blueGamma) {
  const std::int32_t curves[3][3] = {{redBrightness, redContrast, redGamma},
                                     {greenBrightness, greenContrast, greenGamma},
                                     {blueBrightness, blueContrast, blueGamma}};
  for (int c = 0; c < 3; ++c) {
    BuildCurveTable16(curves[c][0], curves[c][1], curves[c][2], RAWTable12[c], 4096);
    BuildCurveTable16(curves[c][0], curves[c][1], curves[c][2], RAWTable10[c], 1024);
  }
  RepaintForm();
}

void TViewerSession::DefaultLookupTables() { FillDefaultDisplayLookup(LUT10, LUT12); }

void TViewerSession::DefaultRGBTables() {
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 4096; ++i) RAWTable12[c][i] = static_cast<std::uint16_t>(i);
    for (int i = 0; i < 1024; ++i) RAWTable10[c][i] = static_cast<std::uint16_t>(i);
  }
}

// --- Playback ------------------------------------------------------------------------

TPlaybackRead TViewerSession::ReadForPlayback() {
  const std::lock_guard<std::recursive_mutex> lock(frameLock_);
  if (ReadNextFrame()) return TPlaybackRead::Frame;
  // A record that is there but unusable is no end: playback stops at it.
  if (!ReadReachedEnd()) return TPlaybackRead::BadRecord;
  if (!VideoLoop || !File.Seek(0)) return TPlaybackRead::End;
  if (!LoadRAWHeader()) return TPlaybackRead::HeaderLost;
  // A file without a complete record ends playback instead of looping.
  if (ReadNextFrame()) return TPlaybackRead::Frame;
  return ReadReachedEnd() ? TPlaybackRead::End : TPlaybackRead::BadRecord;
}

void TViewerSession::ForgetPlayer() {
  if (!Player) return;
  Player->StopAndWait();
  const bool headerLost = Player->HeaderLost();
  const bool badRecord = Player->BadRecord();
  Player.reset();
  if (headerLost) {
    // What a failed header read does, done in the GUI thread for the thread.
    File.Close();
    ShowFileChange();
  }
  // The file stays open at the record, as after Next Frame.
  if (headerLost || badRecord) view_.ShowError(QStringLiteral("Error read file:") + FileName);
}

void TViewerSession::StartPlayback() {
  if (converting_) return;
  if (!FileGivesFrames()) return;
  StopPlayback();
  Player = std::make_unique<VideoThread>(
      &guiReceiver_,
      VideoThread::TSteps{[this] { return ReadForPlayback(); }, [this] { RepaintForm(); },
                          [this] {
                            if (Player && Player->Ended()) ForgetPlayer();
                          }});
}

void TViewerSession::StopPlayback() {
  // The box of a lost header lets commands run; one of them may have started
  // playback again.
  while (Player) ForgetPlayer();
}

bool TViewerSession::PlaybackRunning() {
  if (Player && Player->Ended()) ForgetPlayer();
  return Player != nullptr;
}

// --- Single frames ------------------------------------------------------------------

bool TViewerSession::CopyFrameToClipboard(std::int32_t width, std::int32_t height,
                                          const std::uint8_t* image,
                                          [[maybe_unused]] const TBitmapInfo& info) {
  assert(info.bmiHeader.biBitCount == 24);
  return CopyPictureToClipboard(width, height, image);
}

bool TViewerSession::SaveFrameBMP(const std::uint8_t* image, std::int32_t width,
                                  std::int32_t height) {
  if (width <= 0 || height <= 0) return false;
  EnsureWorkDirSlash();
  const QString name =
      NextFreeFileName(WorkDir + QStringLiteral("FRAME_"), QStringLiteral(".BMP"), BMPCounter);
  // A new file only: a file of that name made meanwhile is not overwritten.
  if (WriteBMPFile(name, image, width, height, 0, 0, platform::FileCreation::NewOnly)) return true;
  exportError_ = QStringLiteral("Error write file:") + name;
  return false;
}

void TViewerSession::ShowExportError() {
  // Shown once the render has let go of the frame: the box runs an event
  // loop, and the playback thread must be able to read meanwhile.
  if (exportError_.isEmpty()) return;
  const QString text = std::exchange(exportError_, QString());
  view_.ShowError(text);
}

bool TViewerSession::RenderAVIFrame() {
  // The render writes this record's frame, and only this render does.
  aviFramePending_ = true;
  aviFrameWritten_ = false;
  RenderFrame();
  aviFramePending_ = false;
  return aviFrameWritten_;
}
