#include "viewer/AVIConversion.h"

#include <QCoreApplication>
#include <QFile>

#include "common/Format.h"
#include "common/RenderCore.h"
#include "imaging.h"
#include "viewer/ViewerSession.h"

namespace {

// One conversion: the parts it makes and how far it got.
class TAVIConversion {
 public:
  explicit TAVIConversion(TViewerSession& session) : s_(session) {}
  enum class TEnd { Done, Failed, Closed };

  bool Begin();
  TEnd ConvertRecords();
  void End(TEnd end);

 private:
  // The header decodes and gives a picture that the mode's demosaic makes.
  bool HeaderRenders() const;
  bool OpenPart();
  // "Error write file:" with the part's name and the frames stored: in the
  // part (after its failed write or close) and in the parts before it.
  QString WriteErrorText() const;

  TViewerSession& s_;
  QString prefix_;  // WorkDir + "VIDEO_"
  std::int32_t number_ = 0;
  std::int32_t part_ = 0;
  QString first_;    // part 0's name, which the completion message names
  QString current_;  // the part being written
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t bits_ = 24;
  double frameRate_ = 0;
  bool partMade_ = false;  // current_ was created by this conversion
  std::uint32_t framesInPart_ = 0;
  std::uint64_t framesInEarlierParts_ = 0;
  QString error_;  // the box that ends a failed conversion (empty: reported already)
};

bool TAVIConversion::Begin() {
  s_.EnsureWorkDirSlash();
  prefix_ = s_.WorkDir + QStringLiteral("VIDEO_");
  // A number none of whose parts exists: no part of an earlier file is replaced.
  first_ = NextFreeAVIFileName(prefix_, s_.AVICounter);
  number_ = s_.AVICounter;
  if (!s_.RewindRAWFile()) {
    // A lost header has been reported by its read (and the file closed).
    if (s_.FileOpen()) error_ = QStringLiteral("Error read file:") + s_.FileName;
    return false;
  }
  bits_ = s_.CurrentDebayerMode == DEBAYER_MONO ? 8 : 24;
  width_ = PictureExtent(s_.CurrentDebayerMode, s_.Header.Width);
  height_ = PictureExtent(s_.CurrentDebayerMode, s_.Header.Height);
  frameRate_ = s_.Header.FrameRate;
  // A header that renders nothing makes no file: the fault is in the RAW
  // file, and the text names it rather than a part never tried.
  if (!HeaderRenders()) {
    error_ = QStringLiteral("Error RAW header:") + s_.FileName;
    return false;
  }
  return OpenPart();
}

bool TAVIConversion::HeaderRenders() const {
  if (!StreamFormatDecodes(s_.Header.StreamStatus) || width_ <= 0 || height_ <= 0) return false;
  if (s_.CurrentDebayerMode == DEBAYER_MONO) return true;
  // The demosaic member alone knows the sizes it refuses; asked with the
  // render's own buffers (the header fits them), whose image the first
  // render replaces.
  return Debayer8Member(s_.CurrentDebayerMode, DEBAYER_8TO24, BAYER_GBRG)(
             s_.Pixels8.get(), s_.Header.Width, s_.Header.Height, s_.Image24.get()) != 0;
}

bool TAVIConversion::OpenPart() {
  current_ = AVIPartFileName(prefix_, number_, part_, QStringLiteral(".AVI"));
  framesInPart_ = 0;
  partMade_ = s_.Writer.Open(current_, width_, height_, bits_, frameRate_, 0);
  if (!partMade_) {
    error_ = QStringLiteral("Error make AVI file:") + current_;
    return false;
  }
  s_.AVIRecording = true;
  return true;
}

TAVIConversion::TEnd TAVIConversion::ConvertRecords() {
  for (;;) {
    if (!s_.RenderAVIFrame()) {
      // A failed write closed the part; a render that drew nothing new left it open.
      error_ =
          s_.Writer.IsOpen() ? QStringLiteral("Error make AVI file:") + current_ : WriteErrorText();
      return TEnd::Failed;
    }
    ++framesInPart_;
    QCoreApplication::processEvents();
    if (s_.Closed()) return TEnd::Closed;
    if (!s_.ReadNextFrame()) {
      // A truncated last record is where a killed capture stopped; a record
      // that does not fit the header is an error.
      if (s_.ReadReachedEnd()) return TEnd::Done;
      error_ = QStringLiteral("Error read file:") + s_.FileName;
      return TEnd::Failed;
    }
    if (!s_.Writer.NextFrameFits()) {
      if (!s_.Writer.Close()) {
        error_ = WriteErrorText();
        return TEnd::Failed;
      }
      framesInEarlierParts_ += s_.Writer.KeptFrames();
      ++part_;
      if (!OpenPart()) return TEnd::Failed;
    }
  }
}

QString TAVIConversion::WriteErrorText() const {
  // What the failed part keeps (its frames before the failure, readable),
  // and what the parts before it hold whole.
  QString text = QStringLiteral("Error write file:") + current_ +
                 FormatText("\n%u frames stored.", static_cast<unsigned>(s_.Writer.KeptFrames()));
  if (part_ > 0)
    text += FormatText("\n%llu frames stored in the %d parts before it.",
                       static_cast<unsigned long long>(framesInEarlierParts_), part_);
  return text;
}

void TAVIConversion::End(TEnd end) {
  if (!s_.Writer.Close() && end != TEnd::Failed) {
    end = TEnd::Failed;
    error_ = WriteErrorText();
  }
  s_.AVIRecording = false;
  // A part made here that received no frame is no video: it goes.
  if (end == TEnd::Failed && partMade_ && framesInPart_ == 0) QFile::remove(current_);
  if (end == TEnd::Closed) return;  // the window is gone; the part is complete
  if (end == TEnd::Done)
    s_.ReportMessage(QStringLiteral("Convert from '") + s_.FileName + QStringLiteral("' to '") +
                     first_ + QStringLiteral("' done."));
  else if (!error_.isEmpty())
    s_.ReportError(error_);
  s_.ClearStatus();
  s_.RewindRAWFile();
}

}  // namespace

void ConvertToAVI(TViewerSession& session) {
  if (session.Converting() || !session.FileGivesFrames()) return;
  session.StopPlayback();
  if (!session.FileOpen()) return;  // the playback thread lost the header
  session.SetConverting(true);
  TAVIConversion conversion(session);
  const TAVIConversion::TEnd end =
      conversion.Begin() ? conversion.ConvertRecords() : TAVIConversion::TEnd::Failed;
  conversion.End(end);
  session.SetConverting(false);
}
