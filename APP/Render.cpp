// Live video: the frame thread, GrabFrame, the render pipeline, the
// demosaicing mode and the zoom.
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdint>

#include "Commands.h"
#include "VideoPanel.h"
#include "fmMain.h"
#include "imaging.h"

namespace {

// The largest picture: the sensor's full frame.
constexpr std::int32_t MaxPictureWidth = 1920;
constexpr std::int32_t MaxPictureHeight = 1080;

// The GBRG, 8-bit-in, 24-bit-out member of each family by DebayerMode; mode
// 0 shows the samples themselves.
const Debayer8Func DebayerByMode[8] = {
    nullptr,
    DebayerBayer_8to24_GBRG,
    DebayerNearest_8to24_GBRG,
    DebayerBin2x2_8to24_GBRG,
    DebayerBilinear_8to24_GBRG,
    DebayerAdaptive_8to24_GBRG,
    DebayerLaplacian_8to24_GBRG,
    DebayerPreview_8to24_GBRG,
};

// Bytes that the decoder of a stream format reads from a width x height
// frame; a frame with fewer bytes is not rendered. The packed formats are
// read row by row (width * 10 / 8 and width * 3 / 2 bytes a row); compressed
// line records carry their own lengths and the decoder stops at the last
// complete one.
std::uint64_t FrameBytesNeeded(std::uint32_t code, std::int32_t width, std::int32_t height) {
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height);
  switch (code) {
    case 1:  // 8-bit samples
      return w * h;
    case 2:  // 12-bit packed
      return w * 3 / 2 * h;
    case 4:  // 10-bit packed
      return w * 10 / 8 * h;
    default:  // compressed 8-bit lines
      return 1;
  }
}

// Drawn size of a picture side under a zoom code. Code 5 is the "800"
// setting and draws at 800 %, as its label says.
std::int32_t ZoomedExtent(std::int32_t extent, std::int32_t code) {
  if (code >= 2) return extent * (code == 5 ? 8 : code);
  if (code < 0) return extent / -code;
  return extent;  // 1, and the codes 0 and -1 that only SetZoom can store
}

QString ZoomPercentText(std::int32_t code) {
  switch (code) {
    case -4: return QStringLiteral("25");
    case -3: return QStringLiteral("33");
    case -2: return QStringLiteral("50");
    case 2: return QStringLiteral("200");
    case 3: return QStringLiteral("300");
    case 4: return QStringLiteral("400");
    case 5: return QStringLiteral("800");
    default: return QStringLiteral("100");
  }
}

}  // namespace

// --- Frame thread --------------------------------------------------------------

void TFrameThread::Execute() {
  while (!Terminated()) {
    if (!Synchronize([this] { FrameThreadSync(); })) {
      // Ending, or the GUI no longer serves hand-overs (shut-down).
      if (Terminated() || GuiSynchronizationCancelled()) break;
    }
  }
}

void TFrameThread::FrameThreadSync() { AppCommand->GrabFrame(); }

// --- Grab and render -------------------------------------------------------------

bool TAppCommand::GrabFrame() {
  const std::uint32_t code = CameraDevice->GetStreamStatus();
  if (code == 0) return false;
  // Zeroed first: when the region cannot be read the size is 0 x 0 and
  // RenderFrame refuses the frame.
  ViewPortRecord viewPort{};
  CameraDevice->GetViewPort(viewPort);
  std::uint32_t bytes = 0;
  CameraDevice->GetFrame(FrameBuffer, FrameBufferSize, bytes);
  if (bytes > 0) {
    // Sizes beyond the signed range become negative and are refused.
    return RenderFrame(code, FrameBuffer, bytes, static_cast<std::int32_t>(viewPort.SizeX),
                       static_cast<std::int32_t>(viewPort.SizeY), DebayerMode);
  }
  if (TriggerShotArmed) {
    // The first externally triggered frame that did not come in time ends
    // the triggered run: external synchronisation off, outputs kept.
    CameraDevice->SetTriggerControl(CameraDevice->GetTriggerControl() & 15u);
    StopVideo();
    TriggerShotArmed = false;
  }
  return false;
}

bool TAppCommand::RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                              std::int32_t width, std::int32_t height, std::int32_t mode) {
  if (code < 1 || code > 4) return false;
  // The region of interest comes from the driver and from preset files: a
  // size outside the sensor, or a frame too short for its size, would make
  // the decoders read or write beyond their buffers.
  if (raw == nullptr || width <= 0 || height <= 0 || width > MaxPictureWidth ||
      height > MaxPictureHeight)
    return false;
  if (bytes < FrameBytesNeeded(code, width, height)) return false;

  const std::int32_t count = width * height;
  const std::uint8_t* samples = raw;
  const void* rawData = raw;
  std::int32_t bits = 8;
  switch (code) {
    case 1:
      break;
    case 2:  // 12-bit packed
    case 4: {  // 10-bit packed
      // The unpackers write exactly width x height samples, so the table
      // never meets a sample left over from an older frame.
      const bool twelveBit = code == 2;
      (twelveBit ? Unpack12Bit : Unpack10Bit)(raw, width, height, Pixels16);
      ApplyLookupTable16To8(Pixels16, count, twelveBit ? LUT12 : LUT10, Pixels8);
      samples = Pixels8;
      rawData = Pixels16;
      bits = twelveBit ? 12 : 10;
      break;
    }
    case 3:  // compressed 8-bit lines
      DecodeCompressedLines(raw, bytes, width, height, Pixels8);
      samples = Pixels8;
      rawData = Pixels8;
      break;
  }

  if (RAWHistogramOn && HistogramRAWView != nullptr)
    HistogramRAWView->UpdateHistogram(rawData, width, height, bits);
  if (WhiteBalancePending) {
    WhiteBalancePending = false;
    AutoWhiteBalance(rawData, width, height, bits);
  }

  // Demosaic; a refusal (odd or too small sizes) leaves the previous
  // picture in Image24, which is drawn.
  const std::int32_t family = (mode >= 1 && mode <= 7) ? mode : 0;
  const std::uint8_t* picture = samples;
  std::int32_t pictureBits = 8;
  if (family != 0) {
    DebayerByMode[family](samples, width, height, Image24);
    picture = Image24;
    pictureBits = 24;
    if (family == 7) {
      width /= 2;
      height /= 2;
    }
  }
  if (pictureBits == 24 && ActiveCorrection != nullptr)
    ApplyColorCorrection(ActiveCorrection, Image24, width, height);

  const std::int32_t drawnWidth = ZoomedExtent(width, Zoom);
  const std::int32_t drawnHeight = ZoomedExtent(height, Zoom);

  TBitmapInfoHeader& header = DisplayBitmapInfo.bmiHeader;
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = -height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<std::uint16_t>(pictureBits);
  header.biCompression = 0;
  header.biSizeImage = static_cast<std::uint32_t>(width * height * pictureBits / 8);
  header.biXPelsPerMeter = 0;
  header.biYPelsPerMeter = 0;
  header.biClrUsed = 0;
  header.biClrImportant = 0;

  if (MainForm != nullptr && MainForm->VideoPanel != nullptr) {
    TVideoPanel* panel = MainForm->VideoPanel;
    if (panel->width() != drawnWidth || panel->height() != drawnHeight) {
      panel->resize(drawnWidth, drawnHeight);
      CenterVideoPanel();
    }
    panel->SetPicture(picture, width, height, pictureBits);
  }

  if (CopyPending) {
    CopyPending = false;
    if (pictureBits == 8) {
      DebayerMono_8to24_GBRG(samples, width, height, Image24);
      header.biBitCount = 24;
    }
    CopyBitmapToClipboard(width, height, Image24, DisplayBitmapInfo);
  }
  if (SavePending) {
    SavePending = false;
    if (pictureBits == 8) {
      DebayerMono_8to24_GBRG(samples, width, height, Image24);
      header.biBitCount = 24;
    }
    const std::int32_t format = SettingsView != nullptr ? SettingsView->SaveImageMode() : 0;
    SaveFrameFile(FrameFileCounter, format, Image24, width, height);
  }
  if (CorrectionToolPending) {
    CorrectionToolPending = false;
    // A grey picture is not handed to the tool: the request is dropped.
    if (pictureBits == 24) RunCorrectionTool(Image24, width, height);
  }
  if (RGBHistogramOn && HistogramRGBView != nullptr)
    HistogramRGBView->UpdateHistogram(picture, width, height, pictureBits);

  ++FrameCount;
  QCoreApplication::processEvents();
  return true;
}

// --- Demosaicing mode and zoom -------------------------------------------------------

void TAppCommand::SetDebayerMode(std::int32_t mode) {
  DebayerMode = (mode >= 1 && mode <= 7) ? mode : 0;
  if (SettingsView != nullptr) SettingsView->SetDebayerSelection(DebayerMode);
}

void TAppCommand::SetZoomPercent(std::int32_t percent) {
  switch (percent) {
    case 25: Zoom = -4; break;
    case 33: Zoom = -3; break;
    case 50: Zoom = -2; break;
    case 200: Zoom = 2; break;
    case 300: Zoom = 3; break;
    case 400: Zoom = 4; break;
    case 800: Zoom = 5; break;
    default: Zoom = 1; break;
  }
  ShowZoom();
}

void TAppCommand::ZoomIn() {
  std::int32_t code = Zoom == 0 ? 1 : Zoom;
  code = code < 5 ? code + 1 : 5;
  if (code == -1) code = 1;
  Zoom = code;
  ShowZoom();
}

void TAppCommand::ZoomOut() {
  std::int32_t code = Zoom == 0 ? 1 : Zoom;
  code = code > -4 ? code - 1 : -4;
  if (code == 0) code = -2;
  Zoom = code;
  ShowZoom();
}

std::int32_t TAppCommand::GetZoom() const { return Zoom; }

void TAppCommand::SetZoom(std::int32_t code) { Zoom = (code >= -4 && code <= 5) ? code : 1; }

void TAppCommand::ShowZoom() {
  SetPanel(PanelZoom, QStringLiteral("Zoom: ") + ZoomPercentText(Zoom) + QStringLiteral("%"));
}

void TAppCommand::CenterVideoPanel() {
  if (MainForm == nullptr || MainForm->VideoPanel == nullptr || MainForm->VideoScrollBox == nullptr)
    return;
  QScrollArea* box = MainForm->VideoScrollBox;
  TVideoPanel* panel = MainForm->VideoPanel;
  const QSize client = box->viewport()->size();
  auto place = [](int clientExtent, int panelExtent, int scrollPosition) {
    return clientExtent <= panelExtent ? -scrollPosition : (clientExtent - panelExtent) / 2;
  };
  panel->move(place(client.width(), panel->width(), box->horizontalScrollBar()->value()),
              place(client.height(), panel->height(), box->verticalScrollBar()->value()));
}
