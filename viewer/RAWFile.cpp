#include "RAWFile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool HeaderFitsBuffers(const RAWVideoHeader& header) {
  if (header.Width < 0 || header.Height < 0) return false;
  const std::int64_t samples = std::int64_t{header.Width} * header.Height;
  switch (header.StreamStatus) {
    case Stream12BitPacked:
    case Stream10BitPacked:
      return samples <= Pixels16Count;
    case Stream8Bit:
    case StreamCompressed:
      return samples <= RawBufferSize;
    default:
      return true;
  }
}

TRAWFile::~TRAWFile() { Close(); }

bool TRAWFile::Open(const QString& path) {
  Close();
  const QByteArray name = QFile::encodeName(path);
  // Non-blocking so that opening a FIFO without a writer returns at once;
  // it is refused below like every file that is not a regular one.
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  return true;
}

void TRAWFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::int64_t TRAWFile::Read(void* buffer, std::int64_t size) {
  if (fd_ < 0) return -1;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int64_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, out + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool TRAWFile::Seek(std::int64_t position) {
  return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) == position;
}

std::int64_t TRAWFile::Position() const {
  return fd_ >= 0 ? static_cast<std::int64_t>(::lseek(fd_, 0, SEEK_CUR)) : -1;
}

TRecordRead TRAWFile::ReadRecord(std::uint8_t* buffer, std::uint32_t capacity,
                                 std::uint32_t& bytes) {
  bytes = 0;
  if (fd_ < 0) return TRecordRead::Failed;
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
