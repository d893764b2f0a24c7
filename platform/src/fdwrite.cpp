#include "platform/fdwrite.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace platform {

namespace {

// Writes at the file position, or at *offset when there is one.
bool WriteLoop(int file, const void* data, std::uint64_t size,
               std::optional<std::uint64_t> offset) {
  // Linux moves at most 0x7ffff000 bytes per write call.
  constexpr std::uint64_t maxChunk = 0x7ffff000;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const auto n = static_cast<size_t>(std::min(size, maxChunk));
    const ssize_t written =
        offset ? ::pwrite(file, bytes, n, static_cast<off_t>(*offset)) : ::write(file, bytes, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes += written;
    size -= static_cast<std::uint64_t>(written);
    if (offset) *offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

}  // namespace

bool WriteFully(int file, const void* data, std::uint64_t size) {
  return WriteLoop(file, data, size, std::nullopt);
}

bool WriteFullyAt(int file, const void* data, std::uint64_t size, std::uint64_t offset) {
  return WriteLoop(file, data, size, offset);
}

}  // namespace platform
