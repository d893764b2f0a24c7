// The device-independent bitmap description that both programs fill for
// every rendered picture: the 40-byte header and a 256-entry grey palette.
#ifndef COMMON_BITMAPINFO_H
#define COMMON_BITMAPINFO_H

#include <cstdint>

#include "platform/dib.h"

using TBitmapInfoHeader = platform::BITMAPINFOHEADER;

struct TBitmapInfo {
  TBitmapInfoHeader bmiHeader;
  std::uint32_t bmiColors[256];  // entry i: blue = green = red = i, fourth byte 0
};
static_assert(sizeof(TBitmapInfo) == 1064);

// The grey palette: entry i is blue = green = red = i.
inline void FillGreyPalette(TBitmapInfo& info) {
  for (std::uint32_t i = 0; i < 256; ++i) info.bmiColors[i] = i * 0x010101u;
}

// Describes a top-down picture of width x height pixels at bits per pixel,
// rows packed end to end as the render buffers hold them.
inline void FillTopDownHeader(TBitmapInfoHeader& header, std::int32_t width, std::int32_t height,
                              std::int32_t bits) {
  header = platform::MakeBitmapInfoHeader(
      width, -height, bits, static_cast<std::uint32_t>(std::int64_t{width} * height * bits / 8), 0,
      0);  // negative height: top-down rows
}

#endif
