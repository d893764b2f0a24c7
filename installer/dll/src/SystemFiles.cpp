#include "installer/dll/src/SystemFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/handle.h"

namespace qdvsetup {
namespace {

struct DirectoryCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::optional<std::string> readFile(const std::filesystem::path& path) {
  // Non-blocking, so that opening a FIFO returns at once; it is refused below.
  const platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat status {};
  if (fd.get() < 0 || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  std::string contents;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return std::nullopt;
    }
    if (n == 0) {
      return contents;
    }
    if (contents.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
      return std::nullopt;
    }
    contents.append(chunk, static_cast<std::size_t>(n));
  }
}

DirectoryListing listDirectory(const std::filesystem::path& path) {
  DirectoryListing listing;
  std::unique_ptr<DIR, DirectoryCloser> dir(opendir(path.c_str()));
  if (!dir) {
    listing.state = errno == ENOENT ? ListingState::Missing : ListingState::Failed;
    return listing;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (entry == nullptr) {
      listing.state = errno == 0 ? ListingState::Listed : ListingState::Failed;
      break;
    }
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      listing.names.emplace_back(entry->d_name);
    }
  }
  if (listing.state != ListingState::Listed) {
    listing.names.clear();
  }
  std::sort(listing.names.begin(), listing.names.end());
  return listing;
}

std::optional<std::filesystem::path> resolvePath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(path, error);
  if (error) {
    return std::nullopt;
  }
  return resolved;
}

bool isDirectory(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool isPresent(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() !=
             std::filesystem::file_type::not_found &&
         !error;
}

}  // namespace qdvsetup
