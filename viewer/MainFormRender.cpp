// The main form's render pipeline: decode the current record by the file's
// stream format, the RAW white balance and tables, the 8-bit mapping,
// demosaicing, white balance and colour correction, then the picture at the
// zoomed size, the export requests and the histograms.
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>

#include <algorithm>

#include "Format.h"
#include "MainForm.h"
#include "RenderSteps.h"
#include "VideoPanel.h"
#include "imaging.h"

bool TAppForm::HistogramShown() const { return HistogramView != nullptr && HistogramView->IsShown(); }

bool TAppForm::DecodeFrame(std::int32_t width, std::int32_t height, TDecodedFrame& frame) {
  const std::int32_t count = width * height;  // within the buffers (HeaderFitsBuffers)
  switch (Header.StreamStatus) {
    case STREAM_RAW8:
      frame = {RawBuffer.get(), RawBuffer.get(), 8};
      return true;
    case STREAM_PACKED12:
    case STREAM_PACKED10: {
      const bool twelve = Header.StreamStatus == STREAM_PACKED12;
      (twelve ? Unpack12Bit : Unpack10Bit)(RawBuffer.get(), width, height, Pixels16.get());
      if (WhiteBalanceRAWPending) {
        WhiteBalanceRAWPending = false;
        WhiteBalanceRAW(Pixels16.get(), width, height, twelve ? 12 : 10);
      }
      if (RAWCorrectionOn) {
        const std::uint16_t* red = twelve ? RAWTable12[0] : RAWTable10[0];
        const std::uint16_t* green = twelve ? RAWTable12[1] : RAWTable10[1];
        const std::uint16_t* blue = twelve ? RAWTable12[2] : RAWTable10[2];
        ApplyRAWChannelTables(Pixels16.get(), width, height, blue, green, red);
      }
      ApplyLookupTable16To8(Pixels16.get(), count, twelve ? LUT12 : LUT10, Pixels8.get());
      frame = {Pixels8.get(), Pixels16.get(), twelve ? 12 : 10};
      return true;
    }
    case STREAM_COMPRESSED8:
      DecodeCompressedLines(RawBuffer.get(), FrameBytes, width, height, Pixels8.get());
      frame = {Pixels8.get(), Pixels8.get(), 8};
      return true;
    default:
      return false;
  }
}

QString TAppForm::FrameCounterText(std::int32_t counter) { return FormatText("Frame:%d", counter); }

void TAppForm::ShowFrameCounter() {
  statusPanel_->setText(FrameCounterText(FrameCounter));
  StatusBar->repaint();
}

void TAppForm::DrawPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                           std::int32_t bits) {
  const int drawnWidth = static_cast<int>(DisplayExtent(width, Zoom));
  const int drawnHeight = static_cast<int>(DisplayExtent(height, Zoom));
  if (VideoPanel->width() != drawnWidth || VideoPanel->height() != drawnHeight) {
    VideoPanel->resize(drawnWidth, drawnHeight);
    CenterVideoPanel();
  }
  // The panel copies the picture (Qt paints later, and the buffers change
  // with the next frame); an empty frame leaves it without one.
  if (!VideoPanel->SetPicture(image, width, height, bits)) VideoPanel->ClearPicture();
  VideoPanel->repaint();
}

void TAppForm::ServeExportRequests(const std::uint8_t* samples, const std::uint8_t* shown,
                                   std::int32_t width, std::int32_t height, std::int32_t bits) {
  // Only the render a conversion drives writes a frame: a paint, a setting
  // change or a copy during the conversion would repeat the record.
  if (AVIRecording && aviFramePending_) {
    aviFramePending_ = false;
    aviFrameWritten_ = WriteAVIFrame(shown, FrameBitmapInfo.bmiHeader.biSizeImage);
  }
  if (CopyPending) {
    CopyPending = false;
    if (bits == 8) {
      DebayerMono_8to24_GBRG(samples, width, height, Image24.get());
      FrameBitmapInfo.bmiHeader.biBitCount = 24;
    }
    CopyFrameToClipboard(width, height, Image24.get(), FrameBitmapInfo);
  }
  if (SavePending) {
    SavePending = false;
    if (bits == 8) DebayerMono_8to24_GBRG(samples, width, height, Image24.get());
    SaveFrameBMP(Image24.get(), width, height);
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
  std::int32_t width = Header.Width;
  std::int32_t height = Header.Height;
  TDecodedFrame frame;
  if (!DecodeFrame(width, height, frame)) return false;
  ShowFrameCounter();
  if (HistogramShown())
    HistogramView->UpdateRAW(frame.raw, width, CurrentDebayerMode == DEBAYER_MONO, frame.bits,
                             height);

  // Demosaic by the mode; a refusal (odd or too small sizes) leaves Image24
  // as it was, and that is drawn (but not written as a frame of the record).
  const std::uint8_t* shown = frame.samples;
  std::int32_t bits = 8;
  bool accepted = true;
  if (CurrentDebayerMode != DEBAYER_MONO) {
    accepted = Debayer8Member(CurrentDebayerMode, DEBAYER_8TO24, BAYER_GBRG)(
                   frame.samples, width, height, Image24.get()) != 0;
    shown = Image24.get();
    bits = 24;
    if (CurrentDebayerMode == DEBAYER_PREVIEW) {
      width /= 2;
      height /= 2;
    }
  }
  if (WhiteBalance8Pending) {
    WhiteBalance8Pending = false;
    if (bits == 24) WhiteBalance8(Image24.get(), width * height);
  }
  if (bits == 24 && CorrectionOn && ColorCorrectionObject)
    ApplyColorCorrection(ColorCorrectionObject.get(), Image24.get(), width, height);

  FillTopDownHeader(FrameBitmapInfo.bmiHeader, width, height, bits);
  DrawPicture(shown, width, height, bits);
  if (!accepted) aviFramePending_ = false;
  ServeExportRequests(frame.samples, shown, width, height, bits);
  if (HistogramShown()) HistogramView->UpdateRGB(shown, width, bits == 8, height);
  return true;
}

void TAppForm::RepaintForm() {
  if (File.IsOpen()) RenderFrame();
  update();
}

void TAppForm::SetDebayerMode(std::int32_t mode) {
  if (converting_) {
    // The conversion's frame size and depth stay: the dialog shows the mode
    // in force again.
    if (Settings != nullptr) Settings->SetDebayerSelection(CurrentDebayerMode);
    return;
  }
  CurrentDebayerMode = (mode > DEBAYER_MONO && mode <= DEBAYER_PREVIEW) ? mode : DEBAYER_MONO;
  if (Settings != nullptr) Settings->SetDebayerSelection(CurrentDebayerMode);
  RepaintForm();
}

void TAppForm::SetZoom(std::int32_t code) {
  Zoom = ValidZoom(code);
  if (File.IsOpen()) RepaintForm();
}

void TAppForm::CenterVideoPanel() {
  const QSize client = VideoScrollBox->viewport()->size();
  auto place = [](int clientExtent, int panelExtent, int scrollPosition) {
    return panelExtent < clientExtent ? (clientExtent - panelExtent) / 2 : -scrollPosition;
  };
  VideoPanel->move(place(client.width(), VideoPanel->width(),
                         VideoScrollBox->horizontalScrollBar()->value()),
                   place(client.height(), VideoPanel->height(),
                         VideoScrollBox->verticalScrollBar()->value()));
}

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

void TAppForm::WhiteBalanceRAW(const std::uint16_t* frame, std::int32_t width,
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
