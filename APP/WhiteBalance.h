// White balance: the application's one-shot balance turns the measured
// ratios green/red and green/blue of one frame into gains of the camera's
// colour lookup table (WhiteBalance.cpp). The two steps below are its
// arithmetic.
#ifndef APP_WHITEBALANCE_H
#define APP_WHITEBALANCE_H

#include <array>
#include <cstdint>

// Gains of the red, green and blue tables for the ratios r = green/red and
// b = green/blue, chosen so that the brightness weighted 0.3, 0.59, 0.11
// stays unchanged. Both ratios must be positive.
std::array<double, 3> WhiteBalanceGains(double r, double b);

// Scales `count` table entries by `gain`: each rounded to the nearest
// integer, halves to even, and limited to 0 ... `maximum`.
void ScaleLookupTable(std::uint16_t* table, std::uint32_t count, double gain,
                      std::uint16_t maximum);

#endif
