// The main form's render pipeline: decode the current record by the file's
// stream format, the RAW white balance and tables, the 8-bit mapping,
// demosaicing, white balance and colour correction, then the picture at the
// zoomed size, the export requests and the histograms.
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>

#include <algorithm>

#include "common/Format.h"
#include "common/RenderCore.h"
#include "common/VideoPanel.h"
#include "imaging.h"
#include "viewer/MainForm.h"
#include "viewer/RenderSteps.h"

bool TAppForm::HistogramShown() const {
  return HistogramView != nullptr && HistogramView->IsShown();
}

TRenderBuffers TAppForm::RenderBuffers() const {
  return {Pixels16.get(), Pixels8.get(), Image24.get()};
}

bool TAppForm::DecodeFrame(std::int32_t width, std::int32_t height, TRenderFrame& frame) {
  // The size is within the buffers (HeaderFitsBuffers).
  if (!UnpackFrame(Header.StreamStatus, RawBuffer.get(), FrameBytes, width, height, RenderBuffers(),
                   frame))
    return false;
  if (frame.rawBits > 8) RAWSteps(frame);
  MapFrameTo8Bit(frame, {LUT10, LUT12}, RenderBuffers());
  return true;
}

void TAppForm::RAWSteps(const TRenderFrame& frame) {
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

QString TAppForm::FrameCounterText(std::int32_t counter) { return FormatText("Frame:%d", counter); }

void TAppForm::ShowFrameCounter() {
  statusPanel_->setText(FrameCounterText(FrameCounter));
  StatusBar->repaint();
}

void TAppForm::DrawPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                           std::int32_t bits) {
  SizePanelToPicture(*VideoScrollBox, *VideoPanel, static_cast<int>(DisplayExtent(width, Zoom)),
                     static_cast<int>(DisplayExtent(height, Zoom)));
  // The panel copies the picture (Qt paints later, and the buffers change
  // with the next frame); an empty frame leaves it without one.
  if (!VideoPanel->SetPicture(image, width, height, bits)) VideoPanel->ClearPicture();
  VideoPanel->repaint();
}

void TAppForm::ServeExportRequests(const TRenderFrame& frame) {
  // Only the render a conversion drives writes a frame: a paint, a setting
  // change or a copy during the conversion would repeat the record.
  if (AVIRecording && aviFramePending_) {
    aviFramePending_ = false;
    aviFrameWritten_ = WriteAVIFrame(frame.picture, FrameBitmapInfo.bmiHeader.biSizeImage);
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

bool TAppForm::RenderFrame() {
  bool drawn = false;
  {
    // Never while the playback thread reads into RawBuffer or Header.
    const std::lock_guard<std::recursive_mutex> lock(frameLock_);
    drawn = RenderLocked();
  }
  ShowExportError();
  return drawn;
}

bool TAppForm::RenderLocked() {
  if (!File.IsOpen()) return false;
  TRenderFrame frame;
  if (!DecodeFrame(Header.Width, Header.Height, frame)) return false;
  ShowFrameCounter();
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
  DrawPicture(frame.picture, frame.width, frame.height, frame.pictureBits);
  if (!frame.demosaiced) aviFramePending_ = false;
  ServeExportRequests(frame);
  if (HistogramShown())
    HistogramView->UpdateRGB(frame.picture, frame.width, frame.pictureBits == 8, frame.height);
  return true;
}

// A pending 8-bit white balance reads a colour picture; in grey it is dropped.
void TAppForm::WhiteBalanceFrame(const TRenderFrame& frame) {
  if (!WhiteBalance8Pending) return;
  WhiteBalance8Pending = false;
  if (frame.pictureBits == 24) WhiteBalance8(Image24.get(), frame.width * frame.height);
}

// What the form's paint runs: the current record drawn when a file is open.
void TAppForm::FormPaint() {
  if (File.IsOpen()) RenderFrame();
}

// A repaint paints at once (FormPaint) rather than at Qt's next paint, so
// the caller's frame is drawn before it goes on.
void TAppForm::RepaintForm() {
  FormPaint();
  update();
}

void TAppForm::SetDebayerMode(std::int32_t mode) {
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

void TAppForm::SetZoom(std::int32_t code) {
  Zoom = ValidZoom(code);
  if (File.IsOpen()) RepaintForm();
}

void TAppForm::CenterVideoPanel() { CenterPanelInScrollBox(*VideoScrollBox, *VideoPanel); }

void TAppForm::WhiteBalance8(std::uint8_t* image, std::int32_t pixels) {
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

void TAppForm::WhiteBalanceRAW(const std::uint16_t* frame, std::int32_t width, std::int32_t height,
                               std::int32_t bits) {
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
