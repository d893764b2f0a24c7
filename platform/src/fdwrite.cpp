#include "platform/fdwrite.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

bool WriteFully(int file, const void* data, std::uint64_t size) {
  // Linux moves at most 0x7ffff000 bytes per write call.
  constexpr std::uint64_t maxChunk = 0x7ffff000;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::write(file, bytes, static_cast<size_t>(std::min(size, maxChunk)));
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
  }
  return true;
}

}  // namespace platform
