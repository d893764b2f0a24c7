// Exposure, frame rate, gain and black level: the sensor registers read and
// written one word at a time, converted by the arithmetic of SensorMath.h.
// Every register is read anew on each call, in a fixed order; outputs are
// written only once everything has been read.
#include <cstddef>
#include <initializer_list>

#include "QDV47B5API.h"
#include "SensorMath.h"

namespace {

using SensorMath::Select;
using SensorMath::TimingRegisters;

struct RegisterRead {
  std::uint16_t select;
  std::uint16_t* word;
};

// Reads the registers in the order given; false at the first failed read
// (the last error is then that of GetSensorReg).
bool ReadRegisters(HANDLE h, std::initializer_list<RegisterRead> reads) {
  for (const RegisterRead& read : reads) {
    std::uint16_t word = read.select;
    if (!GetSensorReg(h, &word)) return false;
    *read.word = word;
  }
  return true;
}

bool ReadRegister(HANDLE h, std::uint16_t select, std::uint16_t& word) {
  return ReadRegisters(h, {{select, &word}});
}

BOOL WriteRegister(HANDLE h, std::uint16_t word) { return SetSensorReg(h, &word); }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// The line-length terms read by the frame-rate search, in their order.
bool ReadLineTerms(HANDLE h, TimingRegisters& r) {
  return ReadRegisters(h, {{Select(0xF2), &r.F2},
                           {Select(0xD1), &r.D1},
                           {Select(0xCF), &r.CF},
                           {Select(0xD0), &r.D0},
                           {Select(0xD3), &r.D3},
                           {Select(0xD4), &r.D4},
                           {Select(0xCE), &r.CE}});
}

// Every timing register, in the order of the clock and rate read-backs.
bool ReadTiming(HANDLE h, TimingRegisters& r) {
  return ReadLineTerms(h, r) && ReadRegisters(h, {{SensorMath::kLineFieldSelect, &r.A0},
                                                  {Select(0xCB), &r.CB},
                                                  {Select(0xD8), &r.D8},
                                                  {Select(0xD9), &r.D9},
                                                  {Select(0xDA), &r.DA},
                                                  {Select(0xDB), &r.DB}});
}

// The timing registers followed by the exposure field.
bool ReadClockRegisters(HANDLE h, TimingRegisters& r, std::uint16_t& exposure) {
  return ReadTiming(h, r) && ReadRegister(h, SensorMath::kExposureSelect, exposure);
}

// The largest exposure in rows (R - 1), from 0xDA, 0xDB, 0xCB and 0xFC.
bool ReadExposureMax(HANDLE h, DWORD& maxRows) {
  if (h == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::uint16_t da = 0, db = 0, cb = 0, fc = 0;
  if (!ReadRegisters(
          h, {{Select(0xDA), &da}, {Select(0xDB), &db}, {Select(0xCB), &cb}, {Select(0xFC), &fc}}))
    return false;
  maxRows = SensorMath::ExposureMaxRows(da, db, cb);
  return true;
}

}  // namespace

extern "C" {

// --- Line, frame and exposure clocks ----------------------------------------

BOOL GetLineAndFrameClocks(DeviceHandle h, DWORD* lineClocks, DWORD* frameClocks) {
  if (lineClocks == nullptr || frameClocks == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  TimingRegisters r;
  std::uint16_t exposure = 0;
  if (!ReadClockRegisters(h, r, exposure)) return 0;
  DWORD clocks = 0;
  if (!SensorMath::ExposureClocks(r, exposure, clocks)) {
    *lineClocks = 0;
    *frameClocks = 0;
    return 0;
  }
  *lineClocks = SensorMath::LineLength(r);
  *frameClocks = SensorMath::FramePeriod(r);
  return 1;
}

BOOL GetExposureClocks(DeviceHandle h, DWORD* clocks) {
  if (clocks == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  TimingRegisters r;
  std::uint16_t exposure = 0;
  if (!ReadClockRegisters(h, r, exposure)) return 0;
  DWORD result = 0;
  const bool defined = SensorMath::ExposureClocks(r, exposure, result);
  *clocks = result;
  return defined ? 1 : 0;
}

BOOL GetLineAndFrameTime(DeviceHandle h, double* lineMs, double* frameMs) {
  if (lineMs == nullptr || frameMs == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  double mhz = 0;
  DWORD line = 0, frame = 0;
  if (!GetFrequencyMhz(h, &mhz) || !GetLineAndFrameClocks(h, &line, &frame)) return 0;
  *lineMs = SensorMath::ClocksToMs(line, mhz);
  *frameMs = SensorMath::ClocksToMs(frame, mhz);
  return 1;
}

BOOL GetExposureMs(DeviceHandle h, double* ms) {
  if (ms == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  double mhz = 0;
  DWORD clocks = 0;
  if (!GetFrequencyMhz(h, &mhz) || !GetExposureClocks(h, &clocks)) return 0;
  *ms = SensorMath::ClocksToMs(clocks, mhz);
  return 1;
}

// --- Exposure in rows ------------------------------------------------------

BOOL GetExposureMinMax(DeviceHandle h, DWORD* minRows, DWORD* maxRows) {
  if (minRows == nullptr || maxRows == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD max = 0;
  if (!ReadExposureMax(h, max)) return 0;
  *minRows = 0;
  *maxRows = max;
  return 1;
}

BOOL SetExposure(DeviceHandle h, DWORD rows) {
  DWORD max = 0;
  if (!ReadExposureMax(h, max)) return 0;
  return WriteRegister(h, SensorMath::ExposureWord(max, rows));
}

BOOL GetExposure(DeviceHandle h, DWORD* rows) {
  if (rows == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD max = 0;
  std::uint16_t exposure = 0;
  if (!ReadExposureMax(h, max) || !ReadRegister(h, SensorMath::kExposureSelect, exposure)) return 0;
  *rows = SensorMath::ExposureRows(max, exposure);
  return 1;
}

// --- Frame rate ------------------------------------------------------------

BOOL SetFrameRate(DeviceHandle h, double fps) {
  double mhz = 0;
  DWORD sdram = 0;
  if (!GetFrequencyMhz(h, &mhz) || !GetSDRAMStatus(h, &sdram)) return 0;
  DWORD target = 0;
  if (!SensorMath::FramePeriodTarget(mhz, fps, sdram != 0, target)) return 0;
  return SetFramePeriodClocks(h, target);
}

BOOL SetFramePeriodClocks(DeviceHandle h, DWORD targetClocks) {
  // The fields 0xA0 and 0xCB are the unknowns: they are not read.
  TimingRegisters r;
  std::uint16_t a8 = 0, ac = 0, cc = 0, cd = 0;
  if (!ReadLineTerms(h, r) || !ReadRegisters(h, {{Select(0xD8), &r.D8},
                                                 {Select(0xD9), &r.D9},
                                                 {Select(0xDA), &r.DA},
                                                 {Select(0xDB), &r.DB},
                                                 {SensorMath::kLineLowerBoundSelect1, &a8},
                                                 {SensorMath::kLineLowerBoundSelect2, &ac},
                                                 {Select(0xCC), &cc},
                                                 {Select(0xCD), &cd}}))
    return 0;
  const SensorMath::LineAndRowFields best =
      SensorMath::SearchFramePeriod(r, a8, ac, cc, cd, targetClocks);
  if (!WriteRegister(h, static_cast<std::uint16_t>(SensorMath::kLineFieldSelect + best.a)))
    return 0;
  return WriteRegister(h, static_cast<std::uint16_t>(Select(0xCB) + best.c));
}

BOOL GetFrameRate(DeviceHandle h, double* fps) {
  if (fps == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  double mhz = 0;
  TimingRegisters r;
  DWORD sdram = 0;
  if (!GetFrequencyMhz(h, &mhz) || !ReadTiming(h, r) || !GetSDRAMStatus(h, &sdram)) return 0;
  const DWORD period = SensorMath::FramePeriod(r);
  if (period == 0) return 0;
  *fps = SensorMath::FramesPerSecond(period, mhz, sdram != 0);
  return 1;
}

// --- Gain ------------------------------------------------------------------

BOOL GetGain(DeviceHandle h, double* db) {
  if (db == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::uint16_t eb = 0, b8 = 0, ec = 0, x6c = 0, b0 = 0;
  if (!ReadRegisters(h, {{Select(0xEB), &eb},
                         {Select(0xB8), &b8},
                         {Select(0xEC), &ec},
                         {Select(0x6C), &x6c},
                         {SensorMath::kFineGainSelect, &b0}}))
    return 0;
  *db = SensorMath::GainDb(eb, b8, ec, b0);
  return 1;
}

BOOL SetGain(DeviceHandle h, std::int32_t units) {
  const SensorMath::GainWords wanted = SensorMath::GainWordsFor(units);
  // An unchanged register costs no write; a failed read counts as the word 0.
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    std::uint16_t current = 0;
    if (!ReadRegister(h, SensorMath::kGainSelects[i], current)) current = 0;
    if (current != wanted[i] && !WriteRegister(h, wanted[i])) return 0;
  }
  return 1;
}

// --- Black level -----------------------------------------------------------

BOOL GetBlackLevelValue(DeviceHandle h, std::uint8_t* value) {
  if (value == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::uint16_t word = 0;
  if (!ReadRegister(h, Select(SensorMath::kBlackLevelRegister), word)) return 0;
  *value = static_cast<std::uint8_t>(SensorMath::ByteValue(word));
  return 1;
}

BOOL SetBlackLevelValue(DeviceHandle h, std::uint8_t value) {
  return WriteRegister(h, SensorMath::BlackLevelWord(value));
}

BOOL GetBlackLevelStatus(DeviceHandle h, DWORD* manual) {
  if (manual == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::uint16_t word = 0;
  if (!ReadRegister(h, Select(SensorMath::kBlackLevelStatusRegister), word)) return 0;
  *manual = SensorMath::BlackLevelManual(word);
  return 1;
}

BOOL SetBlackLevelStatus(DeviceHandle h, DWORD manual) {
  std::uint16_t word = 0;
  if (!ReadRegister(h, Select(SensorMath::kBlackLevelStatusRegister), word)) return 0;
  return WriteRegister(h, SensorMath::WithBlackLevelManual(word, manual != 0));
}

}  // extern "C"
