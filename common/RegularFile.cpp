#include "common/RegularFile.h"

#include <QFile>

#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Format.h"

namespace {
QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
}  // namespace

bool TRegularFile::Open(const QString& path) {
  Close();
  error_.clear();
  const QByteArray name = QFile::encodeName(path);
  platform::UniqueFd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd) {
    error_ = SystemError(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error_ = QStringLiteral("Not a regular file");
    return false;
  }
  // Regular files never block; reads go on as ordinary blocking reads.
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  fd_ = std::move(fd);
  return true;
}

std::int64_t TRegularFile::Size() const {
  struct stat info {};
  if (!fd_ || ::fstat(fd_.get(), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

std::int64_t TRegularFile::Read(void* buffer, std::int64_t size) {
  if (!fd_) return -1;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int64_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_.get(), out + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = SystemError(errno);
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool IsRegularOrAbsent(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

bool ReadSmallFile(const QString& path, std::int64_t limit, QByteArray& contents, QString& why) {
  assert(limit >= 0 && limit < INT32_MAX);
  contents.clear();
  TRegularFile file;
  if (!file.Open(path)) {
    why = file.ErrorString();
    return false;
  }
  const std::int64_t size = file.Size();
  const QString tooLarge =
      FormatText("The file is larger than %lld bytes", static_cast<long long>(limit));
  if (size > limit) {
    why = tooLarge;
    return false;
  }
  // One byte more than the limit shows a file that grew since its size was
  // taken (or one that tells no size); nothing past that is ever read.
  contents.resize(static_cast<qsizetype>(limit) + 1);
  const std::int64_t got = file.Read(contents.data(), limit + 1);
  if (got < 0 || got > limit) {
    why = got < 0 ? file.ErrorString() : tooLarge;
    contents.clear();
    return false;
  }
  contents.resize(static_cast<qsizetype>(got));
  return true;
}
