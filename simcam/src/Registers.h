// The sensor's register file.
//
// A SensorRegisterWord selects a register with its high bits and carries the
// value in its low bits. Most registers take the whole high byte as select
// and the low byte as value; five have wider values and shorter selects:
// 0x80 (11 bits, the exposure field) and 0xA0, 0xA8, 0xAC, 0xB0 (10 bits).
#ifndef SIMCAM_REGISTERS_H
#define SIMCAM_REGISTERS_H

#include <array>
#include <cstdint>

#include "SensorMath.h"

namespace simcam {

class RegisterFile {
 public:
  RegisterFile() { Reset(); }

  // Power-on values: a full 1920 x 1080 frame at 30 fps with the default
  // clock (code 6, 64.8 MHz), a mid exposure and 0 dB gain.
  void Reset();

  // Stores the value bits of `word` in the register that it selects.
  void Write(std::uint16_t word);
  // The register selected by `select` (its value bits are ignored), as the
  // whole word: select bits and value.
  std::uint16_t Read(std::uint16_t select) const;

  // The words that the timing arithmetic needs.
  SensorMath::TimingRegisters Timing() const;

 private:
  struct Field {
    std::uint8_t reg;    // storage slot: the register's high byte
    std::uint16_t mask;  // value bits
  };
  static Field Decode(std::uint16_t word);
  void SetPowerOnTiming();

  std::array<std::uint16_t, 256> values_{};
};

// The power-on pixel clock code (64.8 MHz).
inline constexpr std::uint32_t kDefaultClockCode = 6;

}  // namespace simcam

#endif
