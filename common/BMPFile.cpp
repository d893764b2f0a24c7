#include "common/BMPFile.h"

#include <QFile>

#include <cassert>
#include <cmath>

#include "platform/dib.h"

std::int32_t PixelsPerMeter(double dotsPerInch) {
  return static_cast<std::int32_t>(std::nearbyint(dotsPerInch * 39.3701));
}

bool WriteBMPFile(const QString& fileName, const std::uint8_t* picture, std::int32_t width,
                  std::int32_t height, std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter,
                  platform::FileCreation creation) {
  assert(picture != nullptr && width > 0 && height > 0);
  const std::uint64_t rowBytes = platform::DIBRowBytes(width, 24);
  const std::uint64_t imageBytes = rowBytes * static_cast<std::uint64_t>(height);
  constexpr std::uint32_t headerBytes =
      sizeof(platform::BITMAPFILEHEADER) + sizeof(platform::BITMAPINFOHEADER);

  platform::BITMAPFILEHEADER file{};
  file.bfType = platform::BitmapFileType;
  file.bfSize = static_cast<std::uint32_t>(headerBytes + imageBytes);
  file.bfOffBits = headerBytes;
  // Positive height: rows bottom-up.
  const platform::BITMAPINFOHEADER info = platform::MakeBitmapInfoHeader(
      width, height, 24, static_cast<std::uint32_t>(imageBytes), xPelsPerMeter, yPelsPerMeter);

  return platform::WriteWholeFile(
      QFile::encodeName(fileName).constData(), creation, [&](std::FILE* out) {
        return std::fwrite(&file, sizeof file, 1, out) == 1 &&
               std::fwrite(&info, sizeof info, 1, out) == 1 &&
               platform::WriteDIBRows(out, picture, static_cast<std::uint64_t>(width) * 3, rowBytes,
                                      height, true);
      });
}
