// The device-independent bitmap description that both programs fill for
// every rendered picture: a 40-byte header and a 256-entry grey palette.
#ifndef COMMON_BITMAPINFO_H
#define COMMON_BITMAPINFO_H

#include <cstdint>

struct TBitmapInfoHeader {
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
static_assert(sizeof(TBitmapInfoHeader) == 40);

struct TBitmapInfo {
  TBitmapInfoHeader bmiHeader;
  std::uint32_t bmiColors[256];  // entry i: blue = green = red = i, fourth byte 0
};
static_assert(sizeof(TBitmapInfo) == 1064);

#endif
