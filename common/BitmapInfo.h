// The device-independent bitmap description that both programs fill for
// every rendered picture: the 40-byte header and a 256-entry grey palette.
#ifndef COMMON_BITMAPINFO_H
#define COMMON_BITMAPINFO_H

#include <cstdint>

#include "platform/dib.h"

using TBitmapInfoHeader = BITMAPINFOHEADER;

struct TBitmapInfo {
  TBitmapInfoHeader bmiHeader;
  std::uint32_t bmiColors[256];  // entry i: blue = green = red = i, fourth byte 0
};
static_assert(sizeof(TBitmapInfo) == 1064);

#endif
