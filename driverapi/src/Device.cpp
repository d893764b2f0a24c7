// Device functions: opening the camera device and one I/O-control request
// per operation, with the common failure conventions.
#include <array>
#include <cstring>

#include "QDV47B5API.h"
#include "SensorMath.h"

namespace {

bool IsClosed(HANDLE h) { return h == INVALID_HANDLE_VALUE; }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// One synchronous request. A closed handle fails with 87 and sends nothing.
// A null buffer with a nonzero size is refused as the system refuses an
// unreadable or unwritable buffer: the request fails before it reaches the
// driver. A failed request leaves `failError` as the last error.
BOOL Request(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
             DWORD failError = ERROR_IO_DEVICE, DWORD* bytesReturned = nullptr) {
  if (IsClosed(h)) return Fail(ERROR_INVALID_PARAMETER);
  if ((in == nullptr && inSize != 0) || (out == nullptr && outSize != 0)) return Fail(failError);
  DWORD returned = 0;
  if (!DeviceIoControl(h, code, const_cast<void*>(in), inSize, out, outSize,
                       bytesReturned != nullptr ? bytesReturned : &returned, nullptr))
    return Fail(failError);
  return 1;
}

// A get: receives sizeof(T) bytes; the caller's variable changes only when
// the request succeeds.
template <class T>
BOOL Get(HANDLE h, DWORD code, T* out, DWORD failError = ERROR_IO_DEVICE) {
  T received{};
  if (!Request(h, code, nullptr, 0, out != nullptr ? &received : nullptr, sizeof(T), failError))
    return 0;
  *out = received;
  return 1;
}

// A set: sends sizeof(T) bytes and receives nothing.
template <class T>
BOOL Set(HANDLE h, DWORD code, const T* in, DWORD failError = ERROR_IO_DEVICE) {
  return Request(h, code, in, sizeof(T), nullptr, 0, failError);
}

// Sends the caller's record and receives the driver's answer into it.
template <class T>
BOOL Exchange(HANDLE h, DWORD code, T* record) {
  T sent{};
  T received{};
  if (record != nullptr) sent = *record;
  const bool present = record != nullptr;
  if (!Request(h, code, present ? &sent : nullptr, sizeof(T), present ? &received : nullptr,
               sizeof(T)))
    return 0;
  *record = received;
  return 1;
}

// A 4-byte command packet: the command number and three parameter bytes.
BOOL SendPacket(HANDLE h, std::uint8_t command, std::uint8_t p1, std::uint8_t p2,
                std::uint8_t p3 = 0) {
  const std::array<std::uint8_t, 4> packet = {command, p1, p2, p3};
  return Set(h, QDV_IOCTL_COMMAND, &packet);
}

// A command with a 12-bit parameter, high bits first.
BOOL SendValueCommand(HANDLE h, std::uint8_t command, DWORD value) {
  const DWORD v = value & 0xFFF;
  return SendPacket(h, command, static_cast<std::uint8_t>(v >> 8),
                    static_cast<std::uint8_t>(v & 0xFF));
}

BOOL ReadFrame(HANDLE h, DWORD code, void* buffer, DWORD size, DWORD* bytesReturned) {
  if (IsClosed(h) || buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Request(h, code, nullptr, 0, buffer, size, ERROR_READ_FAULT, bytesReturned);
}

using ColorTable = std::array<std::uint16_t, 3 * QDV_LOOKUP_ENTRIES>;
using MonoTable = std::array<std::uint16_t, QDV_LOOKUP_ENTRIES>;
static_assert(sizeof(ColorTable) == QDV_COLOR_LOOKUP_BYTES);
static_assert(sizeof(MonoTable) == QDV_MONO_LOOKUP_BYTES);

}  // namespace

extern "C" {

// --- Device ----------------------------------------------------------------

DeviceHandle OpenCamera(std::int32_t index) {
  if (index < 0 || index > 35) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Every index opens the same device; several handles may be open at once.
  return CreateFileA(QDV_DEVICE_PATH, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL CloseCamera(DeviceHandle h) {
  if (IsClosed(h)) return Fail(ERROR_INVALID_PARAMETER);
  return CloseHandle(h);
}

// --- Commands --------------------------------------------------------------

BOOL ResetSensor(DeviceHandle h) {
  const BOOL result = SendPacket(h, QDV_CMD_RESET_SENSOR, 0x6B, 0x64);
  // The sensor needs a moment after a reset, whatever the outcome.
  Sleep(1);
  return result;
}

BOOL SendCommand(DeviceHandle h, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) {
  return Request(h, QDV_IOCTL_COMMAND, in, inSize, out, outSize, ERROR_IO_DEVICE, bytesReturned);
}

BOOL SendCommand11(DeviceHandle h, DWORD flag) {
  return SendPacket(h, QDV_CMD_11, 0, flag != 0 ? 1 : 0);
}

BOOL SendCommand10(DeviceHandle h, DWORD flag) {
  return SendPacket(h, QDV_CMD_10, 0, flag != 0 ? 1 : 0);
}

BOOL SendModeCommand(DeviceHandle h, std::int32_t mode) {
  std::uint8_t command;
  switch (mode) {
    case 1: command = QDV_CMD_MODE_1; break;
    case 0: command = QDV_CMD_MODE_0; break;
    case -1: command = QDV_CMD_MODE_MINUS_1; break;
    default: return 0;  // unknown mode: nothing sent, last error untouched
  }
  return SendPacket(h, command, 0, 0);
}

BOOL SendCommand0A(DeviceHandle h, DWORD value) { return SendValueCommand(h, QDV_CMD_0A, value); }
BOOL SendCommand0B(DeviceHandle h, DWORD value) { return SendValueCommand(h, QDV_CMD_0B, value); }
BOOL SendCommand0C(DeviceHandle h, DWORD value) {
  return SendValueCommand(h, QDV_CMD_0C, value >> 1);
}
BOOL SendCommand09(DeviceHandle h, DWORD value) { return SendValueCommand(h, QDV_CMD_09, value); }

// --- Sensor registers ------------------------------------------------------

BOOL SetSensorReg(DeviceHandle h, std::uint16_t* word) {
  return Exchange(h, QDV_IOCTL_SET_SENSOR_REG, word);
}

BOOL GetSensorReg(DeviceHandle h, std::uint16_t* word) {
  return Exchange(h, QDV_IOCTL_GET_SENSOR_REG, word);
}

// --- Lookup tables ---------------------------------------------------------

BOOL GetColorLookupTable(DeviceHandle h, std::uint16_t* table) {
  // The caller's table changes only when the driver returned all of it: a
  // short answer would leave part of it unwritten, and callers scale and
  // write the table back to the camera.
  ColorTable received{};
  DWORD returned = 0;
  if (!Request(h, QDV_IOCTL_LOOKUP_TABLE, nullptr, 0, table != nullptr ? received.data() : nullptr,
               QDV_COLOR_LOOKUP_BYTES, ERROR_READ_FAULT, &returned))
    return 0;
  if (returned != QDV_COLOR_LOOKUP_BYTES) return Fail(ERROR_READ_FAULT);
  std::memcpy(table, received.data(), QDV_COLOR_LOOKUP_BYTES);
  return 1;
}

BOOL SetColorLookupTable(DeviceHandle h, const std::uint16_t* table) {
  return Request(h, QDV_IOCTL_LOOKUP_TABLE, table, QDV_COLOR_LOOKUP_BYTES, nullptr, 0,
                 ERROR_WRITE_FAULT);
}

BOOL SetMonoLookupTable(DeviceHandle h, const std::uint16_t* table) {
  return Request(h, QDV_IOCTL_LOOKUP_TABLE, table, QDV_MONO_LOOKUP_BYTES, nullptr, 0,
                 ERROR_WRITE_FAULT);
}

BOOL SetDefaultLookupTable(DeviceHandle h) {
  return Request(h, QDV_IOCTL_LOOKUP_TABLE, nullptr, 0, nullptr, 0, ERROR_WRITE_FAULT);
}

// --- Frames and stream -----------------------------------------------------

BOOL GetFrame(DeviceHandle h, void* buffer, DWORD size, DWORD* bytesReturned) {
  return ReadFrame(h, QDV_IOCTL_GET_FRAME, buffer, size, bytesReturned);
}

BOOL GetFrameAlt(DeviceHandle h, void* buffer, DWORD size, DWORD* bytesReturned) {
  return ReadFrame(h, QDV_IOCTL_GET_FRAME_ALT, buffer, size, bytesReturned);
}

// --- Region of interest ----------------------------------------------------

BOOL GetViewPort(DeviceHandle h, ViewPortRecord* viewPort) {
  return Get(h, QDV_IOCTL_VIEWPORT, viewPort);
}

BOOL UpdateViewPort(DeviceHandle h, ViewPortRecord* viewPort) {
  return Exchange(h, QDV_IOCTL_VIEWPORT, viewPort);
}

BOOL SetViewPort(DeviceHandle h, const ViewPortRecord* viewPort) {
  return Set(h, QDV_IOCTL_VIEWPORT, viewPort);
}

// --- Statistics ------------------------------------------------------------

BOOL GetStatistics(DeviceHandle h, StatisticsRecord* statistics) {
  // Without a record the request carries no buffers, which clears the
  // driver's counters.
  if (statistics == nullptr) return ResetStatistics(h);
  return Get(h, QDV_IOCTL_STATISTICS, statistics);
}

BOOL ResetStatistics(DeviceHandle h) {
  return Request(h, QDV_IOCTL_STATISTICS, nullptr, 0, nullptr, 0);
}

// --- Settings --------------------------------------------------------------

// A u32 setting: the get receives 4 bytes, the set sends 4 bytes, on one code.
#define QDV_U32_SETTING(Name, code)                                            \
  BOOL Get##Name(DeviceHandle h, DWORD* value) { return Get(h, code, value); } \
  BOOL Set##Name(DeviceHandle h, DWORD value) { return Set(h, code, &value); }

QDV_U32_SETTING(FrameWaitTimeout, QDV_IOCTL_FRAME_WAIT_TIMEOUT)
QDV_U32_SETTING(StreamStatus, QDV_IOCTL_STREAM_STATUS)
QDV_U32_SETTING(Frequency, QDV_IOCTL_FREQUENCY)
QDV_U32_SETTING(TriggerControl, QDV_IOCTL_TRIGGER_CONTROL)
QDV_U32_SETTING(SDRAMStatus, QDV_IOCTL_SDRAM_STATUS)
QDV_U32_SETTING(MedianFilterType, QDV_IOCTL_MEDIAN_FILTER)
QDV_U32_SETTING(InterPacketGapDelay, QDV_IOCTL_INTER_PACKET_GAP)
QDV_U32_SETTING(Param227, QDV_IOCTL_PARAM227)
QDV_U32_SETTING(WhiteBalanceFlags, QDV_IOCTL_WHITE_BALANCE)
QDV_U32_SETTING(ColorEnhancement, QDV_IOCTL_COLOR_ENHANCEMENT)

#undef QDV_U32_SETTING

BOOL GetFrequencyMhz(DeviceHandle h, double* mhz) {
  if (mhz == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD code = 0;
  if (!GetFrequency(h, &code)) return 0;
  // An unknown clock code fails without a last-error code of its own.
  return SensorMath::PixelClockMhz(code, *mhz) ? 1 : 0;
}

BOOL GetExternalInputStatus(DeviceHandle h, DWORD* status) {
  return Get(h, QDV_IOCTL_EXTERNAL_INPUT, status);
}

BOOL GetCameraInfo(DeviceHandle h, CameraInfoRecord* info) {
  return Get(h, QDV_IOCTL_CAMERA_INFO, info);
}

}  // extern "C"
