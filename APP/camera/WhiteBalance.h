// White balance: the application's one-shot balance turns the measured
// ratios green/red and green/blue of one frame into gains of the camera's
// colour lookup table (WhiteBalance.cpp); the gains come from the image
// library (WhiteBalanceGains), the scaling of a table is below.
#ifndef APP_WHITEBALANCE_H
#define APP_WHITEBALANCE_H

#include <cstdint>

// Scales `count` table entries by `gain`: each rounded to the nearest
// integer, halves to even, and limited to 0 ... `maximum`.
void ScaleLookupTable(std::uint16_t* table, std::uint32_t count, double gain,
                      std::uint16_t maximum);

#endif
