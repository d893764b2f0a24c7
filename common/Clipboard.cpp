#include "common/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include <cstddef>
#include <cstring>

bool CopyPictureToClipboard(std::int32_t width, std::int32_t height, const std::uint8_t* picture) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
  if (width <= 0 || height <= 0) return false;
  QImage image(width, height, QImage::Format_BGR888);
  if (image.isNull()) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  for (std::int32_t row = 0; row < height; ++row)
    std::memcpy(image.scanLine(row), picture + row * rowBytes, rowBytes);
  QGuiApplication::clipboard()->setImage(image);
  return true;
}
