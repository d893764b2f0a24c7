// Single frames: the save-frame, copy-frame and calibrate requests, frame
// files, the clipboard, the colour-correction tool and its matrix.
#include "APP/capture/SingleFrame.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "APP/control/Commands.h"
#include "common/BMPFile.h"
#include "common/Clipboard.h"
#include "common/Messages.h"
#include "imaging/debayer.h"

namespace {

ProgramStarter& Starter() {
  static ProgramStarter starter;
  return starter;
}

void StartProgram(const QString& program, const QStringList& arguments) {
  if (Starter())
    Starter()(program, arguments);
  else
    QProcess::startDetached(program, arguments);
}

// The screen's logical resolution in dots per inch, horizontally and
// vertically; 96 where the program has no screen.
void ScreenDotsPerInch(double& x, double& y) {
  x = y = 96.0;
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  const QScreen* screen = application != nullptr ? QGuiApplication::primaryScreen() : nullptr;
  if (screen != nullptr) {
    x = screen->logicalDotsPerInchX();
    y = screen->logicalDotsPerInchY();
  }
}

// libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the compressing function.
struct JPEGErrorManager {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JPEGErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JPEGErrorManager*>(info->err)->jump, 1);
}

void JPEGSilentMessage(j_common_ptr) {}

// Compresses the picture into out with libjpeg's default settings. No object
// with a destructor lives in this frame, which a long jump leaves.
bool CompressJPEG(std::FILE* out, const std::uint8_t* picture, std::int32_t width,
                  std::int32_t height) {
  jpeg_compress_struct compressor;
  JPEGErrorManager errors;
  compressor.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JPEGErrorExit;
  errors.manager.output_message = JPEGSilentMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_compress(&compressor);
    return false;
  }
  jpeg_create_compress(&compressor);
  jpeg_stdio_dest(&compressor, out);
  compressor.image_width = static_cast<JDIMENSION>(width);
  compressor.image_height = static_cast<JDIMENSION>(height);
  compressor.input_components = 3;
  compressor.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&compressor);
  jpeg_start_compress(&compressor, TRUE);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  while (compressor.next_scanline < compressor.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture + compressor.next_scanline * rowBytes);
    jpeg_write_scanlines(&compressor, &row, 1);
  }
  jpeg_finish_compress(&compressor);
  jpeg_destroy_compress(&compressor);
  return true;
}

void ShowWriteError(const QString& name) {
  ShowMessageBox(MessageKind::Information, QStringLiteral("ERROR!"),
                 QStringLiteral("Cannot write file ") + name);
}

}  // namespace

ProgramStarter SetProgramStarter(ProgramStarter starter) {
  ProgramStarter previous = std::move(Starter());
  Starter() = std::move(starter);
  return previous;
}

bool SaveBMPFile(const QString& name, const std::uint8_t* picture, std::int32_t width,
                 std::int32_t height, platform::FileCreation creation) {
  double x = 0, y = 0;
  ScreenDotsPerInch(x, y);
  return WriteBMPFile(name, picture, width, height, PixelsPerMeter(x), PixelsPerMeter(y), creation);
}

bool SaveJPEGFile(const QString& name, const std::uint8_t* picture, std::int32_t width,
                  std::int32_t height) {
  // The bitmap the JPEG is made from, kept as a file; whether it could be
  // written does not matter for the JPEG.
  SaveBMPFile(QStringLiteral("temp.bmp"), picture, width, height, platform::FileCreation::Replace);
  return platform::WriteWholeFile(
      QFile::encodeName(name).constData(), platform::FileCreation::NewOnly,
      [&](std::FILE* out) { return CompressJPEG(out, picture, width, height); });
}

// ---------------------------------------------------------------------------
// Requests, served by the next rendered frame.

void TAppCommand::SaveFrame() {
  if (Running) Render.SavePending = true;
}

void TAppCommand::CopyFrame() {
  if (Running) Render.CopyPending = true;
}

void TAppCommand::CalibrateColors() {
  const QString caption = QStringLiteral("Error");
  if (!Running) {
    ShowMessageBox(MessageKind::Information, caption, QStringLiteral("Camera is stopped!"));
    return;
  }
  if (Render.DebayerMode == DEBAYER_MONO) {
    ShowMessageBox(MessageKind::Information, caption,
                   QStringLiteral("Used monochrome convertion!"));
    return;
  }
  Render.CorrectionToolPending = true;
}

// ---------------------------------------------------------------------------
// Serving the requests.

void TAppCommand::SaveFrameFile(std::int32_t& counter, std::int32_t format,
                                const std::uint8_t* picture, std::int32_t width,
                                std::int32_t height) {
  if (format != 0 && format != 1) return;
  const QString folder = SettingsView != nullptr ? SettingsView->CapturePath() : QString();
  const QString name =
      NextCaptureFileName(folder + QStringLiteral("FRAME_"),
                          format == 0 ? QStringLiteral(".BMP") : QStringLiteral(".jpg"), counter);
  const bool saved =
      format == 0 ? SaveBMPFile(name, picture, width, height, platform::FileCreation::NewOnly)
                  : SaveJPEGFile(name, picture, width, height);
  // Live video carries on either way.
  if (!saved) ShowWriteError(name);
}

bool TAppCommand::CopyBitmapToClipboard(std::int32_t width, std::int32_t height,
                                        const std::uint8_t* picture,
                                        const TBitmapInfo& bitmapInfo) {
  if (bitmapInfo.bmiHeader.biBitCount != 24) return false;
  return CopyPictureToClipboard(width, height, picture);
}

void TAppCommand::RunCorrectionTool(const std::uint8_t* picture, std::int32_t width,
                                    std::int32_t height) {
  const QString frameFile = QString::fromLatin1(CorrectionToolFrameFile);
  // Without its frame the tool would work on an older file, or none.
  if (!SaveBMPFile(frameFile, picture, width, height, platform::FileCreation::Replace)) {
    ShowWriteError(frameFile);
    return;
  }
  StartProgram(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                   QString::fromLatin1(CorrectionToolProgram),
               {frameFile});
}

void TAppCommand::SetCorrectionMatrix(const double* matrix) {
  if (Render.ColorCorrectionObject == nullptr) return;
  SetColorCorrectionMatrix(Render.ColorCorrectionObject.get(), matrix);
  SetImageCorrection(2);  // matrix correction on
}
