// The sensor's register file and its power-on values.
#include "simcam/src/Registers.h"

namespace simcam {

namespace {

struct DefaultValue {
  std::uint8_t reg;
  std::uint16_t value;
};

// Rows R = 9 * (DB - DA) + CB + 8 and line length L = max(A, B) with
// A = 8 * D1 + 4 * a + 32 * t + 92 and
// B = 32 * D3 + 8 * D1 + 96 + 8 * (CF + D0) + 4 * (F2 + D4) = 2000 (the
// shortest line the readout allows). The fields a (0xA0) and c (0xCB) are
// not listed: Reset takes them from the frame-rate search for the power-on
// rate, as SetFrameRate would set them. The gain words are those of 0 dB.
constexpr DefaultValue kDefaults[] = {
    {0xA8, 477},  {0xAC, 470},   // lower bounds of a for the frame-rate search
    {0xB0, 0},                   // fine gain
    {0xB8, 0x44},                // coarse gain
    {0xEC, 0x00}, {0x6C, 0x00},  // gain step
    {0xEB, 0xF1},                // gain mode 1
    {0xC6, 16},                  // black level value (used when manual)
    {0xCC, 8},    {0xCD, 4},     // lower bounds of c for the frame-rate search
    {0xCE, 0},    {0xCF, 4},    {0xD0, 4},   {0xD1, 2}, {0xD3, 56}, {0xD4, 8}, {0xD8, 0},
    {0xD9, 0},    {0xDA, 0},    {0xDB, 123}, {0xF2, 0}, {0xFC, 0},  // black level automatic
    {0x70, 0},                                                      // sensor gamma off
};

// The power-on frame rate at the power-on clock.
constexpr double kPowerOnFramesPerSecond = 30.0;

}  // namespace

RegisterFile::Field RegisterFile::Decode(std::uint16_t word) {
  const std::uint8_t high = static_cast<std::uint8_t>(word >> 8);
  if ((high & 0xF8) == 0x80) return {0x80, 0x7FF};
  switch (high & 0xFC) {
    case 0xA0:
    case 0xA8:
    case 0xAC:
    case 0xB0: return {static_cast<std::uint8_t>(high & 0xFC), 0x3FF};
    default: return {high, 0xFF};
  }
}

void RegisterFile::Reset() {
  values_.fill(0);
  for (const DefaultValue& d : kDefaults) values_[d.reg] = d.value;
  SetPowerOnTiming();
}

// The line and row fields that the frame-rate rule chooses for the power-on
// rate (3,200 clocks a line and 1,350 rows: exactly 4,320,000 clocks, 30 fps
// at 64.8 MHz). A program that sets that rate again, as a preset's load
// does, then keeps the line length, and an exposure restored in rows keeps
// its time. The exposure is half the rows.
void RegisterFile::SetPowerOnTiming() {
  double mhz = 0;
  std::uint32_t target = 0;
  SensorMath::PixelClockMhz(kDefaultClockCode, mhz);
  SensorMath::FramePeriodTarget(mhz, kPowerOnFramesPerSecond, false, target);
  const SensorMath::LineAndRowFields fields = SensorMath::SearchFramePeriod(
      Timing(), Read(SensorMath::kLineLowerBoundSelect1), Read(SensorMath::kLineLowerBoundSelect2),
      Read(SensorMath::Select(0xCC)), Read(SensorMath::Select(0xCD)), target);
  Write(static_cast<std::uint16_t>(SensorMath::kLineFieldSelect + fields.a));
  Write(static_cast<std::uint16_t>(SensorMath::Select(0xCB) + fields.c));
  const std::uint32_t maxRows =
      SensorMath::ExposureMaxRows(Read(SensorMath::Select(0xDA)), Read(SensorMath::Select(0xDB)),
                                  Read(SensorMath::Select(0xCB)));
  Write(SensorMath::ExposureWord(maxRows, maxRows / 2));
}

void RegisterFile::Write(std::uint16_t word) {
  const Field f = Decode(word);
  values_[f.reg] = static_cast<std::uint16_t>(word & f.mask);
}

std::uint16_t RegisterFile::Read(std::uint16_t select) const {
  const Field f = Decode(select);
  return static_cast<std::uint16_t>((f.reg << 8) | values_[f.reg]);
}

SensorMath::TimingRegisters RegisterFile::Timing() const {
  SensorMath::TimingRegisters t;
  t.F2 = Read(0xF200);
  t.D1 = Read(0xD100);
  t.CF = Read(0xCF00);
  t.D0 = Read(0xD000);
  t.D3 = Read(0xD300);
  t.D4 = Read(0xD400);
  t.CE = Read(0xCE00);
  t.A0 = Read(SensorMath::kLineFieldSelect);
  t.CB = Read(0xCB00);
  t.D8 = Read(0xD800);
  t.D9 = Read(0xD900);
  t.DA = Read(0xDA00);
  t.DB = Read(0xDB00);
  return t;
}

}  // namespace simcam
