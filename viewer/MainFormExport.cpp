// The main form's exports: the current frame to a BMP file or the
// clipboard, and the whole file converted into AVI parts, each frame as the
// render pipeline made it.
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QStatusBar>

#include <cassert>
#include <utility>

#include "common/BMPFile.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/RenderCore.h"
#include "imaging.h"
#include "viewer/MainForm.h"

// --- Single frames ------------------------------------------------------------

bool TAppForm::CopyFrameToClipboard(std::int32_t width, std::int32_t height,
                                    const std::uint8_t* image,
                                    [[maybe_unused]] const TBitmapInfo& info) {
  assert(info.bmiHeader.biBitCount == 24);
  // B, G, R rows packed end to end; the clipboard keeps its own copy.
  const QImage picture(image, width, height, qsizetype{width} * 3, QImage::Format_BGR888);
  QGuiApplication::clipboard()->setImage(picture.copy());
  return true;
}

bool TAppForm::SaveFrameBMP(const std::uint8_t* image, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return false;
  EnsureWorkDirSlash();
  const QString name =
      NextFreeFileName(WorkDir + QStringLiteral("FRAME_"), QStringLiteral(".BMP"), BMPCounter);
  // A new file only: a file of that name made meanwhile is not overwritten.
  if (WriteBMPFile(name, image, width, height, 0, 0, platform::FileCreation::NewOnly)) return true;
  exportError_ = QStringLiteral("Error write file:") + name;
  return false;
}

void TAppForm::ShowExportError() {
  // Shown once the render has let go of the frame: the box runs an event
  // loop, and the playback thread must be able to read meanwhile.
  if (exportError_.isEmpty()) return;
  const QString text = std::exchange(exportError_, QString());
  ShowErrorBox(text);
}

bool TAppForm::WriteAVIFrame(const std::uint8_t* image, std::uint32_t bytes) {
  return Writer.WriteFrame(image, bytes);
}

// --- Conversion into AVI parts ----------------------------------------------------

struct TAppForm::TConversion {
  QString prefix;  // WorkDir + "VIDEO_"
  std::int32_t number = 0;
  std::int32_t part = 0;
  QString first;    // part 0's name, which the completion message names
  QString current;  // the part being written
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bits = 24;
  double frameRate = 0;
  bool partMade = false;  // current was created by this conversion
  std::uint32_t framesInPart = 0;
  std::uint64_t framesInEarlierParts = 0;
  QString error;  // the box that ends a failed conversion (empty: reported already)
};

void TAppForm::mSaveAVIClick() {
  if (converting_ || !FileGivesFrames()) return;
  StopPlayback();
  if (!File.IsOpen()) return;  // the playback thread lost the header
  converting_ = true;
  TConversion c;
  const TConversionEnd end = BeginConversion(c) ? ConvertRecords(c) : TConversionEnd::Failed;
  EndConversion(c, end);
  converting_ = false;
}

bool TAppForm::BeginConversion(TConversion& c) {
  EnsureWorkDirSlash();
  c.prefix = WorkDir + QStringLiteral("VIDEO_");
  // A number none of whose parts exists: no part of an earlier file is replaced.
  c.first = NextFreeAVIFileName(c.prefix, AVICounter);
  c.number = AVICounter;
  if (!RewindRAWFile()) {
    // A lost header has been reported by its read (and the file closed).
    if (File.IsOpen()) c.error = QStringLiteral("Error read file:") + FileName;
    return false;
  }
  c.bits = CurrentDebayerMode == DEBAYER_MONO ? 8 : 24;
  c.width = PictureExtent(CurrentDebayerMode, Header.Width);
  c.height = PictureExtent(CurrentDebayerMode, Header.Height);
  c.frameRate = Header.FrameRate;
  // A header that renders nothing makes no file: the fault is in the RAW
  // file, and the text names it rather than a part never tried.
  if (!HeaderRenders(c)) {
    c.error = QStringLiteral("Error RAW header:") + FileName;
    return false;
  }
  return OpenAVIPart(c);
}

bool TAppForm::HeaderRenders(const TConversion& c) {
  if (!StreamFormatDecodes(Header.StreamStatus) || c.width <= 0 || c.height <= 0) return false;
  if (CurrentDebayerMode == DEBAYER_MONO) return true;
  // The demosaic member alone knows the sizes it refuses; asked with the
  // render's own buffers (the header fits them), whose image the first
  // render replaces.
  return Debayer8Member(CurrentDebayerMode, DEBAYER_8TO24, BAYER_GBRG)(
             Pixels8.get(), Header.Width, Header.Height, Image24.get()) != 0;
}

bool TAppForm::OpenAVIPart(TConversion& c) {
  c.current = AVIPartFileName(c.prefix, c.number, c.part, QStringLiteral(".AVI"));
  c.framesInPart = 0;
  c.partMade = Writer.Open(c.current, c.width, c.height, c.bits, c.frameRate, 0);
  if (!c.partMade) {
    c.error = QStringLiteral("Error make AVI file:") + c.current;
    return false;
  }
  AVIRecording = true;
  return true;
}

TAppForm::TConversionEnd TAppForm::ConvertRecords(TConversion& c) {
  for (;;) {
    // The render writes this record's frame, and only this render does.
    aviFramePending_ = true;
    aviFrameWritten_ = false;
    RenderFrame();
    aviFramePending_ = false;
    if (!aviFrameWritten_) {
      // A failed write closed the part; a render that drew nothing new left it open.
      c.error =
          Writer.IsOpen() ? QStringLiteral("Error make AVI file:") + c.current : WriteErrorText(c);
      return TConversionEnd::Failed;
    }
    ++c.framesInPart;
    QCoreApplication::processEvents();
    if (closed_) return TConversionEnd::Closed;
    if (!ReadNextFrame()) {
      // A truncated last record is where a killed capture stopped; a record
      // that does not fit the header is an error.
      if (ReadReachedEnd()) return TConversionEnd::Done;
      c.error = QStringLiteral("Error read file:") + FileName;
      return TConversionEnd::Failed;
    }
    if (!Writer.NextFrameFits()) {
      if (!Writer.Close()) {
        c.error = WriteErrorText(c);
        return TConversionEnd::Failed;
      }
      c.framesInEarlierParts += Writer.KeptFrames();
      ++c.part;
      if (!OpenAVIPart(c)) return TConversionEnd::Failed;
    }
  }
}

QString TAppForm::WriteErrorText(const TConversion& c) const {
  // What the failed part keeps (its frames before the failure, readable),
  // and what the parts before it hold whole.
  QString text = QStringLiteral("Error write file:") + c.current +
                 FormatText("\n%u frames stored.", static_cast<unsigned>(Writer.KeptFrames()));
  if (c.part > 0)
    text += FormatText("\n%llu frames stored in the %d parts before it.",
                       static_cast<unsigned long long>(c.framesInEarlierParts), c.part);
  return text;
}

void TAppForm::EndConversion(TConversion& c, TConversionEnd end) {
  if (!Writer.Close() && end != TConversionEnd::Failed) {
    end = TConversionEnd::Failed;
    c.error = WriteErrorText(c);
  }
  AVIRecording = false;
  // A part made here that received no frame is no video: it goes.
  if (end == TConversionEnd::Failed && c.partMade && c.framesInPart == 0) QFile::remove(c.current);
  if (end == TConversionEnd::Closed) return;  // the window is gone; the part is complete
  if (end == TConversionEnd::Done)
    ShowMessageBox(MessageKind::Information, QStringLiteral("Message"),
                   QStringLiteral("Convert from '") + FileName + QStringLiteral("' to '") +
                       c.first + QStringLiteral("' done."));
  else if (!c.error.isEmpty())
    ShowErrorBox(c.error);
  statusPanel_->clear();
  StatusBar->repaint();
  RewindRAWFile();
}
