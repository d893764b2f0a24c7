// Device-independent bitmaps as they are stored in files: the 14-byte file
// header and the 40-byte information header of BMP files and AVI stream
// formats, the row size (every stored row is padded to a multiple of four
// bytes) and the writing of a picture's rows with that padding.
#ifndef PLATFORM_DIB_H
#define PLATFORM_DIB_H

#include <bit>
#include <cstdint>
#include <cstdio>

#include "platform/newfile.h"

// Every header below is written to files as it lies in memory.
static_assert(std::endian::native == std::endian::little);

namespace platform {

struct __attribute__((packed)) BITMAPFILEHEADER {
  std::uint16_t bfType;  // "BM"
  std::uint32_t bfSize;
  std::uint16_t bfReserved1;
  std::uint16_t bfReserved2;
  std::uint32_t bfOffBits;
};
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;  // negative: rows top-down
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr std::uint16_t BitmapFileType = 0x4D42;  // "BM"

// The information header of an uncompressed single-plane picture; a negative
// height stores the rows top-down.
constexpr BITMAPINFOHEADER MakeBitmapInfoHeader(std::int32_t width, std::int32_t height,
                                                std::int32_t bitsPerPixel, std::uint32_t imageBytes,
                                                std::int32_t xPelsPerMeter,
                                                std::int32_t yPelsPerMeter) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
  info.biSizeImage = imageBytes;
  info.biXPelsPerMeter = xPelsPerMeter;
  info.biYPelsPerMeter = yPelsPerMeter;
  return info;
}

// Bytes of one stored row: width x bits rounded up to whole 32-bit words.
constexpr std::uint64_t DIBRowBytes(std::int32_t width, std::int32_t bitsPerPixel) {
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) + 31) / 32 *
         4;
}

// Writes height rows of rowBytes bytes each from pixels (rows packed end to
// end, top row first), each followed by zero bytes up to storedRowBytes; from
// the bottom row up when bottomUp. False when a write falls short.
bool WriteDIBRows(std::FILE* file, const std::uint8_t* pixels, std::uint64_t rowBytes,
                  std::uint64_t storedRowBytes, std::int32_t height, bool bottomUp);

}  // namespace platform

#endif
