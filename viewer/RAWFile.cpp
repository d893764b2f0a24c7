#include "viewer/RAWFile.h"

#include <unistd.h>

bool HeaderFitsBuffers(const RAWVideoHeader& header) {
  if (header.Width < 0 || header.Height < 0) return false;
  const std::int64_t samples = std::int64_t{header.Width} * header.Height;
  const StreamFormatInfo* format =
      FindStreamFormat(static_cast<std::uint32_t>(header.StreamStatus));
  if (format == nullptr) return true;
  // Samples wider than 8 bits are unpacked into 16-bit samples.
  const std::uint32_t limit = format->bitsPerSample > 8 ? Pixels16Count : RawBufferSize;
  return samples <= limit;
}

bool TRAWFile::Open(const QString& path) { return file_.Open(path); }

void TRAWFile::Close() { file_.Close(); }

std::int64_t TRAWFile::Read(void* buffer, std::int64_t size) { return file_.Read(buffer, size); }

bool TRAWFile::Seek(std::int64_t position) {
  return file_.IsOpen() &&
         ::lseek(file_.Descriptor(), static_cast<off_t>(position), SEEK_SET) == position;
}

std::int64_t TRAWFile::Position() const {
  return file_.IsOpen() ? static_cast<std::int64_t>(::lseek(file_.Descriptor(), 0, SEEK_CUR)) : -1;
}

TRecordRead TRAWFile::ReadRecord(std::uint8_t* buffer, std::uint32_t capacity,
                                 std::uint32_t& bytes) {
  bytes = 0;
  if (!file_.IsOpen()) return TRecordRead::Failed;
  std::uint8_t prefix[RAWFrameRecordPrefixSize];
  const std::int64_t got = Read(prefix, sizeof prefix);
  if (got < 0) return TRecordRead::Failed;
  if (got < static_cast<std::int64_t>(sizeof prefix)) return TRecordRead::EndOfFile;
  const std::uint32_t size = GetRAWRecordLength(prefix);
  if (size > capacity) {
    // Nothing of a record that does not fit is read: the file stays at its
    // start, so every later attempt reports the same record.
    Seek(Position() - static_cast<std::int64_t>(sizeof prefix));
    return TRecordRead::TooLong;
  }
  const std::int64_t frame = Read(buffer, size);
  if (frame < 0) return TRecordRead::Failed;
  bytes = static_cast<std::uint32_t>(frame);
  return bytes == size ? TRecordRead::Done : TRecordRead::Truncated;
}
