#include "APP/capture/AVIFile.h"

#include <QFile>

#include "platform/avifile.h"

namespace {

// The capture's AVI file, written through the platform's AVI writer: one
// file at a time in the whole program.
platform::AVIFileWriter& CaptureFile() {
  static platform::AVIFileWriter writer;
  return writer;
}

std::uint64_t& SizeLimit() {
  static std::uint64_t limit = platform::AVIMaxFileBytes;
  return limit;
}

}  // namespace

bool AVIOpen(const QString& name, std::int32_t width, std::int32_t height, std::int32_t bits,
             std::int32_t scale, std::int32_t rate) {
  const QByteArray path = QFile::encodeName(name);
  if (scale <= 0 || rate <= 0) return false;
  platform::AVIStreamFormat format;
  format.width = width;
  format.height = height;
  format.bitsPerPixel = bits;
  format.scale = static_cast<std::uint32_t>(scale);
  format.rate = static_cast<std::uint32_t>(rate);
  format.sizeLimit = SizeLimit();
  return CaptureFile().Open(path.toStdString(), format);
}

bool AVIAddFrame(const void* pixels) {
  return CaptureFile().WriteFrame(pixels) == platform::AVIWriteResult::Written;
}

bool AVINextFrameFits() { return CaptureFile().NextFrameFits(); }

bool AVIClose() { return CaptureFile().Close(); }

std::uint32_t AVIFramesKept() { return CaptureFile().KeptFrames(); }

std::uint64_t AVISizeLimit() { return SizeLimit(); }

void SetAVISizeLimit(std::uint64_t bytes) {
  SizeLimit() = bytes < platform::AVIMaxFileBytes ? bytes : platform::AVIMaxFileBytes;
}
