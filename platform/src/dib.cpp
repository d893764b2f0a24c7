#include "platform/dib.h"

#include <cassert>

namespace platform {

bool WriteDIBRows(std::FILE* file, const std::uint8_t* pixels, std::uint64_t rowBytes,
                  std::uint64_t storedRowBytes, std::int32_t height, bool bottomUp) {
  assert(storedRowBytes >= rowBytes && storedRowBytes - rowBytes < 4);
  static const std::uint8_t zeros[4] = {};
  const std::uint64_t filler = storedRowBytes - rowBytes;
  // Without filler the rows lie in the file as in memory: one write.
  if (filler == 0 && !bottomUp) {
    const std::uint64_t total = rowBytes * static_cast<std::uint64_t>(height);
    return std::fwrite(pixels, 1, total, file) == total;
  }
  for (std::int32_t i = 0; i < height; ++i) {
    const std::int32_t row = bottomUp ? height - 1 - i : i;
    const std::uint8_t* source = pixels + rowBytes * static_cast<std::uint64_t>(row);
    if (std::fwrite(source, 1, rowBytes, file) != rowBytes) return false;
    if (filler != 0 && std::fwrite(zeros, 1, filler, file) != filler) return false;
  }
  return true;
}

}  // namespace platform
