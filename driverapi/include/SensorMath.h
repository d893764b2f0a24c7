// The sensor's register arithmetic, with no I/O: rows, line length, frame
// period, exposure, clock frequency, frame-rate search and gain.
//
// The driver API reads the registers through GetSensorReg and hands the
// words it got to these functions; the simulated camera, which holds the
// register file itself, uses the same formulas. Every function takes whole
// SensorRegisterWords (select bits included) and extracts the value bits
// itself: the low byte for 8-bit registers, 10 bits for 0xA000, 0xA800,
// 0xAC00 and 0xB000, 11 bits for the exposure field 0x8000.
//
// All timing arithmetic is on 32-bit integers; products keep their low 32
// bits, and comparisons said to be unsigned compare the 32-bit patterns.
#ifndef QDV_SENSOR_MATH_H
#define QDV_SENSOR_MATH_H

#include <array>
#include <cmath>
#include <cstdint>

namespace SensorMath {

// ---------------------------------------------------------------------------
// Select words and value fields

// Select word of an 8-bit register (its number in the high byte).
constexpr std::uint16_t Select(std::uint8_t reg) { return static_cast<std::uint16_t>(reg << 8); }

constexpr std::uint16_t kExposureSelect = 0x8000;   // exposure field e, 11 bits
constexpr std::uint16_t kLineFieldSelect = 0xA000;  // line-length field a, 10 bits
constexpr std::uint16_t kLineLowerBoundSelect1 = 0xA800;
constexpr std::uint16_t kLineLowerBoundSelect2 = 0xAC00;
constexpr std::uint16_t kFineGainSelect = 0xB000;  // 10 bits

constexpr std::uint32_t ByteValue(std::uint16_t word) { return word & 0xFFu; }
constexpr std::uint32_t TenBitValue(std::uint16_t word) { return word & 0x3FFu; }
constexpr std::uint32_t ExposureField(std::uint16_t word) { return word & 0x7FFu; }

// ---------------------------------------------------------------------------
// Rows, line length, frame period, exposure

// The register words that rows and line length depend on (as read back).
struct TimingRegisters {
  std::uint16_t F2 = 0xF200, D1 = 0xD100, CF = 0xCF00, D0 = 0xD000, D3 = 0xD300, D4 = 0xD400,
                CE = 0xCE00, A0 = 0xA000, CB = 0xCB00, D8 = 0xD800, D9 = 0xD900, DA = 0xDA00,
                DB = 0xDB00;
};

// Rows with the row-count field c in place of 0xCB:
// R = 9 * ((DB & 0x7F) - (DA & 0x7F)) + c + 8, signed.
constexpr std::int32_t RowsWith(const TimingRegisters& r, std::uint32_t c) {
  const std::int32_t db = static_cast<std::int32_t>(ByteValue(r.DB) & 0x7F);
  const std::int32_t da = static_cast<std::int32_t>(ByteValue(r.DA) & 0x7F);
  return 9 * (db - da) + static_cast<std::int32_t>(c) + 8;
}

constexpr std::int32_t Rows(const TimingRegisters& r) { return RowsWith(r, ByteValue(r.CB)); }

// Line length in clocks with the line-length field a in place of 0xA000's:
// the larger (unsigned) of
//   A = 8 * D1 + 4 * a + 32 * t + 92, t = ((D9 & 0x7F) - (D8 & 0x7F)) / 2,
//   B = 32 * D3 + 8 * D1 + E + 96 + 8 * (CF + D0) + 4 * ((F2 & 3) + D4),
// with E = 32 * CE - 8 when CE > 0, else 0.
constexpr std::uint32_t LineLengthWith(const TimingRegisters& r, std::uint32_t a) {
  const std::int32_t d1 = static_cast<std::int32_t>(ByteValue(r.D1));
  const std::int32_t t = (static_cast<std::int32_t>(ByteValue(r.D9) & 0x7F) -
                          static_cast<std::int32_t>(ByteValue(r.D8) & 0x7F)) /
                         2;
  const std::uint32_t lineA =
      static_cast<std::uint32_t>(8 * d1 + 4 * static_cast<std::int32_t>(a) + 32 * t + 92);
  const std::uint32_t ce = ByteValue(r.CE);
  const std::uint32_t e = ce > 0 ? 32 * ce - 8 : 0;
  const std::uint32_t lineB = 32 * ByteValue(r.D3) + 8 * ByteValue(r.D1) + e + 96 +
                              8 * (ByteValue(r.CF) + ByteValue(r.D0)) +
                              4 * ((ByteValue(r.F2) & 3) + ByteValue(r.D4));
  return lineA > lineB ? lineA : lineB;
}

constexpr std::uint32_t LineLength(const TimingRegisters& r) {
  return LineLengthWith(r, TenBitValue(r.A0));
}

// Frame period in clocks: P = R * L (low 32 bits).
constexpr std::uint32_t FramePeriod(const TimingRegisters& r) {
  return static_cast<std::uint32_t>(Rows(r)) * LineLength(r);
}

// Exposure in clocks, L * (R - e); defined only when e < R (unsigned).
constexpr bool ExposureClocks(const TimingRegisters& r, std::uint16_t exposureWord,
                              std::uint32_t& clocks) {
  const std::uint32_t rows = static_cast<std::uint32_t>(Rows(r));
  const std::uint32_t e = ExposureField(exposureWord);
  if (e >= rows) return false;
  clocks = LineLength(r) * (rows - e);
  return true;
}

// The largest exposure in rows, R - 1 = 9 * ((DB & 0x7F) - (DA & 0x7F)) + CB + 7.
constexpr std::uint32_t ExposureMaxRows(std::uint16_t DA, std::uint16_t DB, std::uint16_t CB) {
  const std::int32_t db = static_cast<std::int32_t>(ByteValue(DB) & 0x7F);
  const std::int32_t da = static_cast<std::int32_t>(ByteValue(DA) & 0x7F);
  return static_cast<std::uint32_t>(9 * (db - da) + static_cast<std::int32_t>(ByteValue(CB)) + 7);
}

// The exposure word for an exposure of `rows` rows (at most maxRows).
constexpr std::uint16_t ExposureWord(std::uint32_t maxRows, std::uint32_t rows) {
  const std::uint32_t v = rows < maxRows ? rows : maxRows;
  return static_cast<std::uint16_t>(kExposureSelect + ((maxRows - v) & 0x7FF));
}

// The exposure in rows that an exposure word stands for.
constexpr std::uint32_t ExposureRows(std::uint32_t maxRows, std::uint16_t exposureWord) {
  const std::uint32_t e = ExposureField(exposureWord);
  return maxRows - (e < maxRows ? e : maxRows);
}

// ---------------------------------------------------------------------------
// Clock frequency and times

// PixelClockCode 0..8 to MHz.
inline constexpr std::array<double, 9> kPixelClockMhz = {
    9.765625, 18.0, 19.53125, 26.041666, 36.0, 52.083333, 64.8, 74.769231, 69.428571};

constexpr bool PixelClockMhz(std::uint32_t code, double& mhz) {
  if (code >= kPixelClockMhz.size()) return false;
  mhz = kPixelClockMhz[code];
  return true;
}

// ms = clocks * 1000 / (2,000,000 * MHz), clocks taken as unsigned.
inline double ClocksToMs(std::uint32_t clocks, double mhz) {
  return static_cast<double>(clocks) * 1000 / (2000000 * mhz);
}

// Frames per second for a frame period of P clocks (P > 0); with the SDRAM
// (high speed shutter) mode on the rate halves.
inline double FramesPerSecond(std::uint32_t period, double mhz, bool sdram) {
  double fps = 2000000 * mhz / static_cast<double>(period);
  if (sdram) fps = fps * 0.5;
  return fps;
}

// The frame period in clocks that a rate of fps asks for:
// 2,000,000 * MHz / fps rounded half to even, low 32 bits, doubled with the
// SDRAM mode on. False for a rate that is not a positive number or whose
// period does not fit in 64 bits.
inline bool FramePeriodTarget(double mhz, double fps, bool sdram, std::uint32_t& target) {
  if (!(fps > 0)) return false;
  const double clocks = std::nearbyint(2000000 * mhz / fps);
  if (!(clocks >= -9223372036854775808.0 && clocks < 9223372036854775808.0)) return false;
  std::uint32_t t = static_cast<std::uint32_t>(static_cast<std::int64_t>(clocks));
  if (sdram) t = t * 2;
  target = t;
  return true;
}

// ---------------------------------------------------------------------------
// Frame-period search

struct LineAndRowFields {
  std::uint32_t a;  // line-length field (0xA000 + a)
  std::uint32_t c;  // row-count field (0xCB00 + c)
};

// The pair (a, c), a from the larger 10-bit value of 0xA8 and 0xAC up to
// 1023, c from the larger low byte of 0xCC and 0xCD up to 255, whose frame
// period Rc * La (low 32 bits) lies nearest the target; of equally near pairs
// the one with the smallest a and, for it, the smallest c. The fields A0 and
// CB of `timing` are ignored.
namespace detail {

// The nearest to the target of the periods of one run of c, in which the
// period moves by a fixed amount without wrapping past 0 or 2^32: the step j
// into the run and its distance; of two equally near the earlier.
struct RunBest {
  std::uint32_t step;
  std::uint32_t distance;
};

// Periods first, first + rise, ..., first + count * rise.
constexpr RunBest NearestInRisingRun(std::uint32_t first, std::uint32_t rise, std::uint32_t count,
                                     std::uint32_t target) {
  if (target <= first || rise == 0) return {0, first > target ? first - target : target - first};
  // The nearest is the last period at or below the target or the one after.
  const std::uint32_t below = (target - first) / rise;
  if (below >= count) return {count, target - (first + count * rise)};
  const std::uint32_t under = target - (first + below * rise);
  const std::uint32_t over = first + (below + 1) * rise - target;
  return under <= over ? RunBest{below, under} : RunBest{below + 1, over};
}

// Periods first, first - fall, ..., first - count * fall (fall > 0).
constexpr RunBest NearestInFallingRun(std::uint32_t first, std::uint32_t fall, std::uint32_t count,
                                      std::uint32_t target) {
  if (target >= first) return {0, target - first};
  // The nearest is the last period at or above the target or the one after.
  const std::uint32_t above = (first - target) / fall;
  if (above >= count) return {count, first - count * fall - target};
  const std::uint32_t over = first - above * fall - target;
  const std::uint32_t under = target - (first - (above + 1) * fall);
  return over <= under ? RunBest{above, over} : RunBest{above + 1, under};
}

}  // namespace detail

inline LineAndRowFields SearchFramePeriod(const TimingRegisters& timing, std::uint16_t A8,
                                          std::uint16_t AC, std::uint16_t CC, std::uint16_t CD,
                                          std::uint32_t target) {
  const std::uint32_t a0 = TenBitValue(A8) > TenBitValue(AC) ? TenBitValue(A8) : TenBitValue(AC);
  const std::uint32_t c0 = ByteValue(CC) > ByteValue(CD) ? ByteValue(CC) : ByteValue(CD);
  const std::uint32_t firstRows = static_cast<std::uint32_t>(RowsWith(timing, c0));
  LineAndRowFields best{a0, c0};
  std::uint32_t bestDistance = 0xFFFFFFFFu;
  for (std::uint32_t a = a0; a <= 1023; ++a) {
    const std::uint32_t line = LineLengthWith(timing, a);
    // Rc * La for successive c differ by La (mod 2^32): they rise by La, or,
    // for a line of more than 2^31 clocks, fall by 2^32 - La. Between wraps
    // the periods move steadily, so each such run of c is settled by
    // arithmetic instead of by trying every c in it. Runs are taken in order
    // of c and only a strictly nearer pair replaces the best, so ties keep
    // the smallest a and, for it, the smallest c.
    const bool rising = line <= 0x80000000u;
    const std::uint32_t fall = 0u - line;
    std::uint32_t c = c0;
    std::uint32_t period = firstRows * line;
    while (true) {
      const std::uint32_t left = 255 - c;
      std::uint32_t count = left;
      detail::RunBest run;
      if (rising) {
        if (line != 0 && (0xFFFFFFFFu - period) / line < count)
          count = (0xFFFFFFFFu - period) / line;
        run = detail::NearestInRisingRun(period, line, count, target);
      } else {
        if (period / fall < count) count = period / fall;
        run = detail::NearestInFallingRun(period, fall, count, target);
      }
      if (run.distance < bestDistance) {
        bestDistance = run.distance;
        best = {a, c + run.step};
        // Nothing beats an exact match.
        if (bestDistance == 0) return best;
      }
      if (count == left) break;
      c += count + 1;
      period += (count + 1) * line;
    }
  }
  return best;
}

// ---------------------------------------------------------------------------
// Gain, in integer units of 0.006 dB

constexpr std::int32_t kGainMinUnits = -3500;  // -21 dB
constexpr std::int32_t kGainMaxUnits = 4000;   // +24 dB

// The five gain words in the order they are written: coarse (0xB8), step
// (0xEC, 0x6C), fine (0xB0), mode (0xEB).
using GainWords = std::array<std::uint16_t, 5>;

// The select words of the five gain registers, in the same order.
inline constexpr GainWords kGainSelects = {0xB800, 0xEC00, 0x6C00, kFineGainSelect, 0xEB00};

constexpr GainWords GainWordsFor(std::int32_t units) {
  if (units < kGainMinUnits) units = kGainMinUnits;
  if (units > kGainMaxUnits) units = kGainMaxUnits;
  std::int32_t coarse = 4, step = 0, mode = 0, fine = 0;
  if (units == kGainMaxUnits) {
    step = 6;
    mode = 2;
    fine = 500;
  } else if (units >= 0) {
    const std::int32_t q = units / 500;
    fine = units - 500 * q;
    step = q < 6 ? q : 6;
    mode = q == 7 ? 2 : 1;
  } else {
    const std::int32_t n = (-units - 1) / 500 + 1;
    coarse = 4 - n / 2;
    mode = n % 2 == 0 ? 1 : 0;
    fine = units + 500 * n;
  }
  return {static_cast<std::uint16_t>(0xB800 + coarse * 0x11),
          static_cast<std::uint16_t>(0xEC00 + step * 0x11),
          static_cast<std::uint16_t>(0x6C00 + step * 0x11),
          static_cast<std::uint16_t>(0xB000 + (fine & 0x3FF)),
          static_cast<std::uint16_t>(0xEBF0 + mode)};
}

// dB = 3 * (EC & 15) + k * (3 * (EB & 7) - 3) + 6 * (B8 & 15) - 24
//      + 0.006 * (B0 & 0x3FF), k = 2 when bit 3 of EB is set, else 1.
constexpr double GainDb(std::uint16_t EB, std::uint16_t B8, std::uint16_t EC, std::uint16_t B0) {
  const std::int32_t eb = static_cast<std::int32_t>(ByteValue(EB));
  const std::int32_t k = (eb & 8) != 0 ? 2 : 1;
  return 3 * static_cast<std::int32_t>(ByteValue(EC) & 15) + k * (3 * (eb & 7) - 3) +
         6 * static_cast<std::int32_t>(ByteValue(B8) & 15) - 24 +
         0.006 * static_cast<double>(TenBitValue(B0));
}

// ---------------------------------------------------------------------------
// Black level

constexpr std::uint8_t kBlackLevelRegister = 0xC6;
constexpr std::uint8_t kBlackLevelStatusRegister = 0xFC;
constexpr std::uint16_t kBlackLevelManualBit = 0x0002;

constexpr std::uint16_t BlackLevelWord(std::uint8_t value) {
  return static_cast<std::uint16_t>(0xC600 + value);
}

// 1 when the black level is set by hand, 0 when automatic.
constexpr std::uint32_t BlackLevelManual(std::uint16_t FC) {
  return (FC & kBlackLevelManualBit) >> 1;
}

// The word read from 0xFC with the manual bit set or cleared.
constexpr std::uint16_t WithBlackLevelManual(std::uint16_t FC, bool manual) {
  return static_cast<std::uint16_t>(manual ? (FC | kBlackLevelManualBit)
                                           : (FC & ~kBlackLevelManualBit));
}

}  // namespace SensorMath

#endif
