#include "platform/newfile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace platform {

bool NameTaken(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) == 0;
}

UniqueFd CreateNewFile(const char* path) {
  // O_EXCL fails on any existing entry, a dangling link included; O_NOFOLLOW
  // keeps a link in the last component from being followed where O_EXCL
  // would not already refuse it.
  return UniqueFd(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

namespace {

// The folder part of path, with its trailing slash ("" for a bare name).
std::string FolderOf(const char* path) {
  const std::string name(path);
  const std::size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

}  // namespace

UniqueFd CreateTemporaryBeside(const char* path, std::string& temporary) {
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr int attempts = 100;
  const std::string folder = FolderOf(path);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    std::uint8_t random[6];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) break;
    temporary = folder + ".~";
    for (std::uint8_t r : random) temporary += letters[r % (sizeof letters - 1)];
    UniqueFd fd = CreateNewFile(temporary.c_str());
    if (fd || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return UniqueFd();
}

namespace {

// The open file as a C file for binary writing, which then owns it.
FilePtr AsCFile(platform::UniqueFd fd) {
  if (!fd) return nullptr;
  FilePtr file(::fdopen(fd.get(), "wb"));
  if (file != nullptr) fd.release();
  return file;
}

// Fills the open file through write and closes it; false when anything
// failed, the closing flush included.
bool FillAndClose(platform::UniqueFd fd, const FileContentWriter& write) {
  FilePtr file = AsCFile(std::move(fd));
  if (file == nullptr) return false;
  const bool written = write(file.get());
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace

FilePtr CreateBinaryFile(const char* path) { return AsCFile(platform::CreateNewFile(path)); }

bool WriteWholeFile(const char* path, FileCreation creation, const FileContentWriter& write) {
  if (creation == FileCreation::NewOnly) {
    platform::UniqueFd fd = platform::CreateNewFile(path);
    if (!fd) return false;
    if (FillAndClose(std::move(fd), write)) return true;
    // A file not written whole is of no use to anyone: it does not stay.
    const int error = errno;
    ::unlink(path);
    errno = error;
    return false;
  }
  std::string temporary;
  platform::UniqueFd fd = platform::CreateTemporaryBeside(path, temporary);
  if (!fd) return false;
  // rename replaces a link of that name, not the file it points to.
  if (FillAndClose(std::move(fd), write) && ::rename(temporary.c_str(), path) == 0) return true;
  const int error = errno;
  ::unlink(temporary.c_str());
  errno = error;
  return false;
}

}  // namespace platform
