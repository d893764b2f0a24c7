// Exposure, gain, black level, gamma and frame period from the registers.
#include "simcam/src/Sensor.h"

#include <cmath>

namespace simcam {

namespace {

// Exposure in milliseconds by the register arithmetic; 0 when the exposure
// field is not below the row count or the clock code is unknown.
double ExposureMs(const RegisterFile& registers, std::uint32_t clockCode) {
  double mhz = 0;
  std::uint32_t clocks = 0;
  if (!SensorMath::PixelClockMhz(clockCode, mhz)) return 0;
  if (!SensorMath::ExposureClocks(registers.Timing(), registers.Read(SensorMath::kExposureSelect),
                                  clocks))
    return 0;
  return SensorMath::ClocksToMs(clocks, mhz);
}

// Signal per unit of scene radiance at the power-on exposure and 0 dB: a
// white patch of the scene then lies at about 80 % of the 12-bit range.
constexpr double kScaleAtPowerOn = 0.25;

double PowerOnExposureMs() {
  static const double ms = ExposureMs(RegisterFile(), kDefaultClockCode);
  return ms;
}

}  // namespace

SensorResponse ResponseOf(const RegisterFile& registers, std::uint32_t clockCode) {
  SensorResponse r;
  const double db =
      SensorMath::GainDb(registers.Read(0xEB00), registers.Read(0xB800), registers.Read(0xEC00),
                         registers.Read(SensorMath::kFineGainSelect));
  r.scale = kScaleAtPowerOn * (ExposureMs(registers, clockCode) / PowerOnExposureMs()) *
            std::pow(10.0, db / 20);
  const std::uint16_t status =
      registers.Read(SensorMath::Select(SensorMath::kBlackLevelStatusRegister));
  r.pedestal = SensorMath::BlackLevelManual(status) != 0
                   ? 4 * static_cast<std::int32_t>(SensorMath::ByteValue(
                             registers.Read(SensorMath::Select(SensorMath::kBlackLevelRegister))))
                   : kAutomaticBlackLevel;
  r.gamma = (registers.Read(0x7000) & 0x80) != 0;
  return r;
}

double FramePeriodSeconds(const RegisterFile& registers, std::uint32_t clockCode, bool sdram) {
  double mhz = 0;
  if (!SensorMath::PixelClockMhz(clockCode, mhz)) return 0;
  const SensorMath::TimingRegisters timing = registers.Timing();
  if (SensorMath::Rows(timing) <= 0) return 0;
  const std::uint32_t period = SensorMath::FramePeriod(timing);
  if (period == 0) return 0;
  return 1.0 / SensorMath::FramesPerSecond(period, mhz, sdram);
}

double GammaCurve(double signal) {
  if (signal <= 0) return signal;
  return 4095 * std::pow(signal / 4095, 1 / 2.2);
}

}  // namespace simcam
