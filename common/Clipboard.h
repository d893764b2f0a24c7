// The picture copy both programs put on the clipboard.
#ifndef COMMON_CLIPBOARD_H
#define COMMON_CLIPBOARD_H

#include <cstdint>

// A 24-bit picture (B, G, R pixels, rows packed end to end, top row first)
// to the clipboard as an image of its own, never sharing the picture's
// buffer, which the next frame overwrites. False without a GUI application
// or for an empty size.
bool CopyPictureToClipboard(std::int32_t width, std::int32_t height, const std::uint8_t* picture);

#endif
