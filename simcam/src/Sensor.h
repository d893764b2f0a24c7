// What the sensor's registers mean for the picture and the stream timing:
// exposure and gain set how much signal a scene radiance gives, the black
// level register (when manual) the dark level, the gamma bit a companding
// curve; rows and line length set the frame period.
#ifndef SIMCAM_SENSOR_H
#define SIMCAM_SENSOR_H

#include <cstdint>

#include "simcam/src/Registers.h"

namespace simcam {

// How a scene radiance becomes a 12-bit sample:
//   signal = radiance * scale; sample = pedestal + (gamma ? curve(signal) : signal),
// rounded and clipped to 0..4095.
struct SensorResponse {
  double scale = 0;
  std::int32_t pedestal = 0;
  bool gamma = false;

  bool operator==(const SensorResponse&) const = default;
};

// The dark level with automatic black level, in 12-bit units; the manual
// level is 4 x the value of register 0xC6 (the power-on value 16 gives the
// same level).
inline constexpr std::int32_t kAutomaticBlackLevel = 64;

SensorResponse ResponseOf(const RegisterFile& registers, std::uint32_t clockCode);

// The frame period in seconds, or 0 when the registers give no valid period
// (no rows, no clocks, or an unknown clock code).
double FramePeriodSeconds(const RegisterFile& registers, std::uint32_t clockCode, bool sdram);

// The sensor's gamma curve on a signal above the dark level (12-bit units).
double GammaCurve(double signal);

}  // namespace simcam

#endif
