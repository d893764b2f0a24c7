// 24-bit BMP files of rendered pictures: both programs save single frames
// with it.
#ifndef COMMON_BMPFILE_H
#define COMMON_BMPFILE_H

#include <QString>

#include <cstdint>

#include "platform/dib.h"

// A screen's logical dots per inch as pixels per metre: x 39.3701, rounded to
// the nearest integer with halves to even (96 dpi gives 3,780).
std::int32_t PixelsPerMeter(double dotsPerInch);

// Writes picture (width x height pixels of B, G, R bytes, rows packed end to
// end, top row first) as an uncompressed 24-bit BMP file: the 14-byte file
// header, the 40-byte information header with the given resolution, then
// the rows from the bottom one up, each padded with zero bytes to a multiple
// of 4. A new file only where no file of that name exists, or with
// FileCreation::Replace through a temporary file renamed over any old one.
// False when the file cannot be created or written whole; no partial file
// is left.
bool WriteBMPFile(const QString& fileName, const std::uint8_t* picture, std::int32_t width,
                  std::int32_t height, std::int32_t xPelsPerMeter = 0,
                  std::int32_t yPelsPerMeter = 0,
                  platform::FileCreation creation = platform::FileCreation::NewOnly);

#endif
