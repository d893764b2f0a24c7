#include "viewer/Export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include "common/Format.h"
#include "platform/newfile.h"

namespace {

QString FourDigits(std::int32_t number) { return FormatText("%04d", number); }

// A failing call's result as the system's error code, on the debugging
// output: the failure itself is not shown to the user.
void ReportResult(int error) {
  const std::uint32_t result =
      error > 0 ? 0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu) : 0x80004005u;
  std::fprintf(stderr, "hr=%08Xh \n", result);
}

}  // namespace

bool FileNameTaken(const QString& name) {
  return platform::NameTaken(QFile::encodeName(name).constData());
}

QString NextFreeFileName(const QString& prefix, const QString& suffix, std::int32_t& counter) {
  for (;;) {
    const QString name = prefix + FourDigits(counter) + suffix;
    if (!FileNameTaken(name)) return name;
    ++counter;
  }
}

QString AVIPartFileName(const QString& prefix, std::int32_t fileNumber, std::int32_t partNumber,
                        const QString& suffix) {
  return prefix + FourDigits(fileNumber) + QStringLiteral("-PART-") + FourDigits(partNumber) +
         suffix;
}

QString NextFreeAVIFileName(const QString& prefix, std::int32_t& counter) {
  const QFileInfo stem(prefix);
  const QDir dir = stem.dir();
  for (;;) {
    const QString pattern = stem.fileName() + FourDigits(counter) + QStringLiteral("-PART-*.AVI");
    if (dir.entryList({pattern}, QDir::AllEntries | QDir::System | QDir::Hidden).isEmpty())
      return AVIPartFileName(prefix, counter, 0, QStringLiteral(".AVI"));
    ++counter;
  }
}

AVIWriter::~AVIWriter() { Close(); }

bool AVIWriter::Open(const QString& fileName, std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel, double frameRate, std::uint32_t /*handler*/) {
  Close();
  platform::AVIStreamFormat format;
  format.width = width;
  format.height = height;
  format.bitsPerPixel = bitsPerPixel;
  format.scale = Scale;
  format.rate = platform::AVIStreamRate(frameRate, Scale, platform::AVIRateRounding::HalvesUp);
  format.pixelsPerMeter = PixelsPerMeter;
  format.streamName = StreamName;
  format.sizeLimit = SizeLimit;
  errno = 0;
  if (file_.Open(QFile::encodeName(fileName).toStdString(), format)) return true;
  ReportResult(errno);
  return false;
}

bool AVIWriter::WriteFrame(const void* image, std::uint32_t bytes) {
  if (!file_.IsOpen() || bytes != file_.FrameBytes()) return false;
  errno = 0;
  if (file_.WriteFrame(image) == platform::AVIWriteResult::Written) return true;
  ReportResult(errno);
  Close();
  return false;
}

bool AVIWriter::Close() {
  if (!file_.IsOpen()) return true;
  errno = 0;
  if (file_.Close()) return true;
  ReportResult(errno);
  return false;
}
